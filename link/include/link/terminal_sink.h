#pragma once

#include <string>
#include <vector>

namespace tessel {

// Where the engine shows the traffic: " < " lines written, " > " lines read.
class TerminalSink {
 public:
  virtual ~TerminalSink() = default;
  virtual void addLine(const std::string& text) = 0;
};

// A terminal kept in memory. Like the window, it stores lines only while it
// is visible, each prefixed with the time of day "hh:mm:ss.zzz".
class MemoryTerminal : public TerminalSink {
 public:
  void addLine(const std::string& text) override;
  void setVisible(bool visible);
  bool visible() const { return visible_; }
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  bool visible_ = true;
  std::vector<std::string> lines_;
};

// "hh:mm:ss.zzz" of the local time now.
std::string terminalTimeStamp();

}  // namespace tessel
