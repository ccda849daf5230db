#pragma once

#include <functional>
#include <queue>
#include <string>
#include <vector>

namespace tessel {

// The outgoing configuration lines of a task, oldest first, and the try
// counter of the exchange in progress. Every change is announced, so the
// main window can redraw its queue gauge.
class TsendQueue {
 public:
  void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

  void Push(const std::string& line);
  // The oldest line; false (and line untouched) when the queue is empty.
  bool Peek(std::string& line) const;
  // Removes the oldest line; its length, or -1 and "" when empty.
  int Pop(std::string& line);
  void Clear();
  // Drops every line whatever the marker (callers pass "AT&R") and resets
  // the try counter.
  void Flush(const std::string& marker);
  int Count() const { return static_cast<int>(order_.size()); }

  int TryCount = 0;

 private:
  void changed();

  std::queue<int> order_;
  // Indices in order_ point here; the store only shrinks when it is empty
  // of queued lines, so they stay valid.
  std::vector<std::string> store_;
  std::function<void()> onChange_;
};

}  // namespace tessel
