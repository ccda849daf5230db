#include "link/send_queue.h"

#include <utility>

namespace tessel {

void TsendQueue::changed() {
  if (onChange_) onChange_();
}

void TsendQueue::Push(const std::string& line) {
  lines_.push_back(line);
  changed();
}

bool TsendQueue::Peek(std::string& line) const {
  if (lines_.empty()) return false;
  line = lines_.front();
  return true;
}

int TsendQueue::Pop(std::string& line) {
  int length = -1;
  if (lines_.empty()) {
    line.clear();
  } else {
    line = std::move(lines_.front());
    lines_.pop_front();
    length = static_cast<int>(line.size());
  }
  changed();
  return length;
}

void TsendQueue::Clear() {
  lines_.clear();
  changed();
}

}  // namespace tessel
