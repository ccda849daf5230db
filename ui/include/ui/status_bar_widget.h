#pragma once

// The main window's status bar: the port state, the task and a third panel
// that shows either a text or the send-queue gauge.
#include <QStatusBar>

class QProgressBar;
#include <array>
#include <functional>

#include "link/status_bar.h"

class QTimer;

namespace tessel {

// One panel: centred text in a sunken frame, or the gauge.
class StatusPanel : public QWidget {
  Q_OBJECT
 public:
  explicit StatusPanel(QWidget* parent = nullptr);
  void setText(const QString& text);
  QString text() const { return text_; }
  void setGauge(bool on);
  bool gauge() const { return gauge_; }
  // Said over the gauge (how a send's lines go), with its whole text as
  // the tip; empty for nothing.
  void setCaption(const QString& caption, const QString& whole);
  QString caption() const { return caption_; }
  // The queued lines the gauge shows.
  std::function<int()> queueLength;
  // Width of the green bar as last drawn.
  int gaugeWidth() const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  QString caption_;
  bool gauge_ = false;
};

class StatusBarWidget : public QStatusBar, public StatusBar {
  Q_OBJECT
 public:
  explicit StatusBarWidget(QWidget* parent = nullptr);

  StatusPanel* panel(int index) const;
  // Where the gauge learns the send queue's length.
  void setQueueLength(std::function<int()> length);
  // A long task's gauge with its text beside the panels (a discovery's).
  // Shown at once; later values reach it at most every kProgressMs, as a
  // monitor as fast as replies moves it hundreds of times a second.
  static constexpr int kProgressMs = 100;
  void showProgress(int value, int maximum, const QString& text);
  void hideProgress();
  QProgressBar* progress() const { return progress_; }

  int clientWidth() const override;
  void setPanelWidth(int panel, int width) override;
  void setPanelText(int panel, const std::string& text) override;
  void setPanel2OwnerDrawn(bool ownerDrawn) override;
  void setGaugeCaption(const std::string& brief, const std::string& whole) override;
  void repaint() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void applyWidths();
  void applyProgress();
  std::array<StatusPanel*, 3> panels_{};
  QProgressBar* progress_ = nullptr;
  QTimer* progressTimer_ = nullptr;
  int value_ = 0, maximum_ = 0;
  QString text_;
  std::array<double, 2> share_{{0.0, 0.0}};
};

}  // namespace tessel
