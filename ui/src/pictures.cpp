#include "ui/pictures.h"

#include <QPainter>
#include <QSvgRenderer>

#include "model/group_views.h"

inline void initTesselUiResource() {
  Q_INIT_RESOURCE(ui);
}

namespace tessel {

void initUiResources() {
  initTesselUiResource();
}

QIcon listImage(int image) {
  static const char* const kNames[] = {"fetching", "reading", "sent",
                                       "master",   "slave",   "repeater"};
  if (image < kImageFetching || image > kImageRepeater) return QIcon();
  return QIcon(QStringLiteral(":/tessel/%1.svg").arg(QLatin1String(kNames[image])));
}

QIcon currentRowMark() {
  return QIcon(QStringLiteral(":/tessel/current.svg"));
}

QIcon applicationIcon(int brandIndex) {
  return QIcon(brandIndex == 1 ? QStringLiteral(":/tessel/app1.svg")
                               : QStringLiteral(":/tessel/app0.svg"));
}

QPixmap picture(const char* name, QSize size) {
  QSvgRenderer renderer(QStringLiteral(":/tessel/%1.svg").arg(QLatin1String(name)));
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  return pixmap;
}

}  // namespace tessel
