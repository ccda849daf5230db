#include "ui/status_bar_widget.h"

#include <QPainter>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>

#include "ui/qt_seams.h"

namespace tessel {

StatusPanel::StatusPanel(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

void StatusPanel::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  setAccessibleName(text);
  update();
}

void StatusPanel::setGauge(bool on) {
  if (on == gauge_) return;
  gauge_ = on;
  update();
}

void StatusPanel::setCaption(const QString& caption, const QString& whole) {
  if (caption == caption_ && toolTip() == whole) return;
  caption_ = caption;
  setAccessibleDescription(whole);
  setToolTip(whole);
  update();
}

int StatusPanel::gaugeWidth() const {
  return gauge_ && queueLength ? sendQueueGaugeWidth(queueLength()) : 0;
}

QSize StatusPanel::sizeHint() const {
  return QSize(width(), fontMetrics().height() + 6);
}

void StatusPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect().adjusted(0, 0, -1, -1);
  p.setPen(palette().color(QPalette::Mid));
  p.drawRect(r);
  if (gauge_) {
    const int w = std::min(gaugeWidth(), r.width() - 1);
    const QRect bar(r.left() + 1, r.top() + 1, w, r.height() - 1);
    if (w > 0) p.fillRect(bar, QColor(0, 255, 0));
    if (caption_.isEmpty()) return;
    // Over the bar, as a progress bar's text: in the theme's colour beside
    // it, in black on its green.
    const QRect inside = r.adjusted(3, 0, -3, 0);
    const QString shown = fontMetrics().elidedText(caption_, Qt::ElideRight, inside.width());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(inside, Qt::AlignCenter, shown);
    if (w > 0) {
      p.setClipRect(bar);
      p.setPen(Qt::black);
      p.drawText(inside, Qt::AlignCenter, shown);
    }
    return;
  }
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(r, Qt::AlignCenter, text_);
}

StatusBarWidget::StatusBarWidget(QWidget* parent) : QStatusBar(parent) {
  setSizeGripEnabled(true);
  static const char* const kNames[] = {"port state", "Send Queue", "!"};
  static const int kWidths[] = {100, 50, 50};
  for (int i = 0; i < 3; ++i) {
    auto* p = new StatusPanel(this);
    p->setObjectName(QStringLiteral("statusPanel%1").arg(i));
    p->setAccessibleName(QLatin1String(kNames[i]));
    if (i > 0) p->setText(QLatin1String(kNames[i]));
    if (i < 2) {
      p->setFixedWidth(kWidths[i]);
      addWidget(p);
    } else {
      // The last panel takes the rest of the bar, so a long queue shows.
      p->setMinimumWidth(kWidths[i]);
      p->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
      addWidget(p, 1);
    }
    panels_[static_cast<size_t>(i)] = p;
  }
  // Permanent, so a notice shown meanwhile does not hide it.
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("discoveryProgress"));
  progress_->setAccessibleName(QStringLiteral("Discovery progress"));
  progress_->setTextVisible(true);
  // Wide enough for the longest text, so it never wraps or is cut.
  progress_->setFixedWidth(progress_->fontMetrics().horizontalAdvance(QStringLiteral(
                               "Discovery: reaching the local radio, 255 radios found")) +
                           24);
  progress_->hide();
  addPermanentWidget(progress_);
  progressTimer_ = new QTimer(this);
  progressTimer_->setSingleShot(true);
  progressTimer_->setInterval(kProgressMs);
  connect(progressTimer_, &QTimer::timeout, this, [this] { applyProgress(); });
}

void StatusBarWidget::showProgress(int value, int maximum, const QString& text) {
  value_ = value;
  maximum_ = maximum;
  text_ = text;
  if (progress_->isHidden()) {
    applyProgress();
    progress_->show();
    applyWidths();
  } else if (!progressTimer_->isActive()) {
    progressTimer_->start();
  }
}

void StatusBarWidget::applyProgress() {
  // A gauge's every move is painted at once (QProgressBar repaints as its
  // value changes): only the latest is shown.
  progress_->setRange(0, maximum_);
  progress_->setValue(std::clamp(value_, 0, maximum_));
  progress_->setFormat(text_);
  progress_->setToolTip(text_);
}

void StatusBarWidget::hideProgress() {
  progressTimer_->stop();
  if (progress_->isHidden()) return;
  progress_->hide();
  applyWidths();
}

StatusPanel* StatusBarWidget::panel(int index) const {
  return index >= 0 && index < 3 ? panels_[static_cast<size_t>(index)] : nullptr;
}

void StatusBarWidget::setQueueLength(std::function<int()> length) {
  panels_[2]->queueLength = std::move(length);
}

int StatusBarWidget::clientWidth() const {
  // The engine's panels share what the gauge beside them leaves.
  return width() - (progress_->isHidden() ? 0 : progress_->width());
}

void StatusBarWidget::setPanelWidth(int index, int w) {
  if (index < 0 || index > 1) return;  // the last panel takes the rest
  // Kept as a share of the bar, so the panels follow the window's width
  // between the engine's refreshes.
  share_[static_cast<size_t>(index)] = clientWidth() > 0 ? double(w) / clientWidth() : 0.0;
  applyWidths();
}

void StatusBarWidget::applyWidths() {
  for (int i = 0; i < 2; ++i) {
    const double share = share_[static_cast<size_t>(i)];
    if (share <= 0) continue;
    // Never so narrow that the panel disappears.
    panels_[static_cast<size_t>(i)]->setFixedWidth(std::max(int(share * clientWidth()), 50));
  }
}

void StatusBarWidget::resizeEvent(QResizeEvent* event) {
  QStatusBar::resizeEvent(event);
  applyWidths();
}

void StatusBarWidget::setPanelText(int index, const std::string& text) {
  if (StatusPanel* p = panel(index)) p->setText(qt(text));
}

void StatusBarWidget::setPanel2OwnerDrawn(bool ownerDrawn) {
  panels_[2]->setGauge(ownerDrawn);
}

void StatusBarWidget::setGaugeCaption(const std::string& brief, const std::string& whole) {
  panels_[2]->setCaption(qt(brief), qt(whole));
}

void StatusBarWidget::repaint() {
  for (StatusPanel* p : panels_) p->update();
}

}  // namespace tessel
