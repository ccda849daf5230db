#pragma once

#include <deque>
#include <functional>
#include <string>

namespace tessel {

// The outgoing configuration lines of a task, oldest first. Every change is
// announced, so the main window can redraw its queue gauge.
class TsendQueue {
 public:
  void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

  void Push(const std::string& line);
  // The oldest line; false (and line untouched) when the queue is empty.
  bool Peek(std::string& line) const;
  // Removes the oldest line; its length, or -1 and "" when empty.
  int Pop(std::string& line);
  // Drops every line (a send given up, or the search's dialog closed).
  void Clear();
  int Count() const { return static_cast<int>(lines_.size()); }

 private:
  void changed();

  // A popped line is freed at once, so a long session of sends holds
  // only the lines still waiting.
  std::deque<std::string> lines_;
  std::function<void()> onChange_;
};

}  // namespace tessel
