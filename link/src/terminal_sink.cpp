#include "link/terminal_sink.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/local_time.h"

namespace tessel {

std::string terminalTimeStamp() {
  using namespace std::chrono;
  auto now = system_clock::now();
  const std::tm local = platform::localTime(system_clock::to_time_t(now));
  int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                ms);
  return buf;
}

void MemoryTerminal::addLine(const std::string& text) {
  if (visible_) lines_.push_back(terminalTimeStamp() + text);
}

void MemoryTerminal::setVisible(bool visible) {
  visible_ = visible;
  if (!visible_) lines_.clear();  // hiding the window clears its view
}

}  // namespace tessel
