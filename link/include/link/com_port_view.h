#pragma once

#include <array>
#include <string>
#include <vector>

namespace tessel {

// The controls of the COM port dialog whose state the engine reads and sets.
enum ComPortControl : int {
  cpPortNumber,
  cpBaudRate,
  cpParity,
  cpDataBits,
  cpStopBits,
  cpAutoConfigure,
  cpDefaults,
  cpFinish,
  cpControlCount
};

// The COM port dialog as state. The engine owns the logic of the dialog; a
// GUI mirrors this state into widgets and reports user edits by setting it
// and calling the engine's handler (comPortNumberChange, baudRateChange ...).
class ComPortView {
 public:
  virtual ~ComPortView() = default;

  virtual std::string portNumberText() const = 0;
  virtual void setPortNumberText(const std::string& text) = 0;
  virtual std::vector<std::string> portNumberItems() const = 0;
  virtual void clearPortNumberItems() = 0;
  virtual void addPortNumberItem(const std::string& text) = 0;

  // The baud rate box: an index into baudRateItems(), or -1 with free text.
  virtual std::string baudRateText() const = 0;
  virtual void setBaudRateText(const std::string& text) = 0;
  virtual int baudRateIndex() const = 0;
  virtual void setBaudRateIndex(int index) = 0;

  virtual int parityIndex() const = 0;  // 0 Even, 1 Odd, 2 None
  virtual void setParityIndex(int index) = 0;
  virtual int dataBitsIndex() const = 0;  // 0 seven, 1 eight
  virtual void setDataBitsIndex(int index) = 0;
  virtual int stopBitsIndex() const = 0;  // 0 one, 1 two
  virtual void setStopBitsIndex(int index) = 0;

  virtual bool isEnabled(ComPortControl control) const = 0;
  virtual void setEnabled(ComPortControl control, bool enabled) = 0;

  virtual std::string autoConfigureCaption() const = 0;
  virtual void setAutoConfigureCaption(const std::string& caption) = 0;

  virtual bool isVisible() const = 0;
  virtual void setVisible(bool visible) = 0;
  virtual void setWaitCursor(bool waiting) = 0;
};

// The eight items of the baud rate box, leading blanks as shown.
const std::vector<std::string>& baudRateItems();

// Plain in-memory dialog state for the headless front end and the tests.
class MemoryComPortView : public ComPortView {
 public:
  MemoryComPortView();
  std::string portNumberText() const override { return portText_; }
  void setPortNumberText(const std::string& text) override { portText_ = text; }
  std::vector<std::string> portNumberItems() const override { return portItems_; }
  void clearPortNumberItems() override { portItems_.clear(); }
  void addPortNumberItem(const std::string& text) override { portItems_.push_back(text); }
  std::string baudRateText() const override { return baudText_; }
  void setBaudRateText(const std::string& text) override;
  int baudRateIndex() const override { return baudIndex_; }
  void setBaudRateIndex(int index) override;
  int parityIndex() const override { return parity_; }
  void setParityIndex(int index) override { parity_ = index; }
  int dataBitsIndex() const override { return dataBits_; }
  void setDataBitsIndex(int index) override { dataBits_ = index; }
  int stopBitsIndex() const override { return stopBits_; }
  void setStopBitsIndex(int index) override { stopBits_ = index; }
  bool isEnabled(ComPortControl control) const override;
  void setEnabled(ComPortControl control, bool enabled) override;
  std::string autoConfigureCaption() const override { return caption_; }
  void setAutoConfigureCaption(const std::string& caption) override { caption_ = caption; }
  bool isVisible() const override { return visible_; }
  void setVisible(bool visible) override { visible_ = visible; }
  void setWaitCursor(bool waiting) override { waitCursor_ = waiting; }
  bool waitCursor() const { return waitCursor_; }

 private:
  std::string portText_;
  std::vector<std::string> portItems_;
  std::string baudText_;
  int baudIndex_ = -1;
  int parity_ = 2;
  int dataBits_ = 1;
  int stopBits_ = 0;
  std::array<bool, cpControlCount> enabled_{};
  std::string caption_;
  bool visible_ = false;
  bool waitCursor_ = false;
};

}  // namespace tessel
