#pragma once

#include <array>
#include <string>

namespace tessel {

// The main window's status bar as the link engine sees it: three panels, the
// third of which the main window may draw itself (the send queue gauge).
class StatusBar {
 public:
  virtual ~StatusBar() = default;
  virtual int clientWidth() const = 0;
  virtual void setPanelWidth(int panel, int width) = 0;
  virtual void setPanelText(int panel, const std::string& text) = 0;
  // Panel 2 drawn by the main window (true) or as plain text (false).
  virtual void setPanel2OwnerDrawn(bool ownerDrawn) = 0;
  // What the send-queue gauge says over itself: how the send's lines go, in
  // a few words and whole (both empty while no send runs).
  virtual void setGaugeCaption(const std::string& /*brief*/, const std::string& /*whole*/) {}
  virtual void repaint() = 0;
};

// Width in pixels of the send-queue gauge drawn in panel 2: two pixels per
// queued line, nothing for an empty queue.
constexpr int sendQueueGaugeWidth(int queuedLines) {
  return queuedLines > 0 ? 2 * queuedLines : 0;
}

// Plain status bar kept in memory; the headless front end and tests use it.
class MemoryStatusBar : public StatusBar {
 public:
  explicit MemoryStatusBar(int width = 800) : width_(width) {}
  int clientWidth() const override { return width_; }
  void setClientWidth(int width) { width_ = width; }
  void setPanelWidth(int panel, int width) override;
  void setPanelText(int panel, const std::string& text) override;
  void setPanel2OwnerDrawn(bool ownerDrawn) override { ownerDrawn_ = ownerDrawn; }
  void setGaugeCaption(const std::string& brief, const std::string& whole) override {
    gaugeCaption_ = brief;
    gaugeHint_ = whole;
  }
  void repaint() override { ++repaints_; }
  const std::string& gaugeCaption() const { return gaugeCaption_; }
  const std::string& gaugeHint() const { return gaugeHint_; }

  const std::string& panelText(int panel) const;
  int panelWidth(int panel) const;
  bool panel2OwnerDrawn() const { return ownerDrawn_; }
  int repaintCount() const { return repaints_; }

 private:
  int width_;
  std::array<std::string, 3> texts_;
  std::array<int, 3> widths_{{0, 0, 0}};
  bool ownerDrawn_ = false;
  std::string gaugeCaption_;
  std::string gaugeHint_;
  int repaints_ = 0;
};

}  // namespace tessel
