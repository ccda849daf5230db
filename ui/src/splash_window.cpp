#include "ui/splash_window.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "ui/pictures.h"

namespace tessel {

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("splash"));
  setAccessibleName(QStringLiteral("splash"));
  setFixedSize(458, 349);
  timer_.setInterval(kInterval);
  connect(&timer_, &QTimer::timeout, this, &QWidget::hide);
  timer_.start();
}

void SplashWindow::showEvent(QShowEvent* event) {
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());
  // Shown for a whole interval, whenever it is shown.
  timer_.start();
  QWidget::showEvent(event);
}

void SplashWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, picture("splash", size()));
}

}  // namespace tessel
