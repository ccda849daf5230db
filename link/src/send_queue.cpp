#include "link/send_queue.h"

namespace tessel {

void TsendQueue::changed() {
  if (onChange_) onChange_();
}

void TsendQueue::Push(const std::string& line) {
  store_.push_back(line);
  order_.push(static_cast<int>(store_.size()) - 1);
  changed();
}

bool TsendQueue::Peek(std::string& line) const {
  if (order_.empty()) return false;
  line = store_[order_.front()];
  return true;
}

int TsendQueue::Pop(std::string& line) {
  int length = -1;
  if (order_.empty()) {
    line.clear();
    store_.clear();
  } else {
    line = store_[order_.front()];
    order_.pop();
    length = static_cast<int>(line.size());
  }
  changed();
  return length;
}

void TsendQueue::Clear() {
  order_ = {};
  store_.clear();
  changed();
}

void TsendQueue::Flush(const std::string& /*marker*/) {
  std::string line;
  while (!order_.empty()) Pop(line);
  store_.clear();
  TryCount = 0;
  changed();
}

}  // namespace tessel
