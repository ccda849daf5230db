#pragma once

#include <functional>

namespace tessel {

// A single timer that calls its handler every interval while active. The Qt
// program wraps a QTimer; tests keep a fake and call the handler themselves,
// so no logic test waits for a real interval.
class TickTimer {
 public:
  virtual ~TickTimer() = default;
  virtual void setHandler(std::function<void()> handler) = 0;
  virtual void setInterval(int ms) = 0;
  virtual int interval() const = 0;
  virtual void start() = 0;  // (re)starts counting the interval from now
  virtual void stop() = 0;
  virtual bool isActive() const = 0;
};

}  // namespace tessel
