#pragma once

#include <QTimer>
#include <QWidget>

namespace tessel {

// A borderless picture centred on the screen, 458 x 349. Its timer runs
// from creation and hides it at every tick (every 3 s).
class SplashWindow : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kInterval = 3000;
  explicit SplashWindow(QWidget* parent = nullptr);
  QTimer& timer() { return timer_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QTimer timer_;
};

}  // namespace tessel
