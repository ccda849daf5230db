#pragma once

// Serial adapters being plugged and unplugged. On Linux as the kernel and
// udev make and remove their device files: inotify on /dev and on
// /dev/serial/by-id (followed as udev makes and removes it), so nothing
// polls. The owner puts fd() into its event loop (a QSocketNotifier, poll)
// and calls readEvents() when it is readable, or lets run() wait; the handler
// runs there, once per change. On Windows as the system's map of COM ports
// (the registry's SERIALCOMM key) changes: through run() only.
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace tessel {

struct PortChange {
  bool appeared = false;  // false: it went away
  std::string path;       // /dev/ttyUSB0, /dev/serial/by-id/usb-...; empty: changes were
                          // lost (the kernel's queue overflowed), list the ports again
};

class PortWatch {
 public:
  using Handler = std::function<void(const PortChange& change)>;

  // devRoot is for tests.
  explicit PortWatch(std::string devRoot = "/dev");
  ~PortWatch();
  PortWatch(const PortWatch&) = delete;
  PortWatch& operator=(const PortWatch&) = delete;

  // Starts watching; 0, or the system error code of the failure (no
  // inotify, no devRoot).
  int start();
  // Readable when changes are waiting; -1 before start() and on Windows.
  int fd() const { return fd_; }
  // Reads what is waiting without blocking and reports each serial device
  // or by-id link that appeared or went.
  void readEvents();
  void setOnChange(Handler handler) { onChange_ = std::move(handler); }
  // After start(): waits for changes and reports them until stop() (from any
  // thread, also before run()). 0, or the system error code of a failed wait.
  int run();
  void stop();
  // What to tell of a start() or run() that failed with err.
  std::string startError(int err) const;

  struct Waiting;  // what run() waits on, as the system has it

 private:
  enum class Kind { dev, serial, byId };
  void watch(const std::string& path, Kind kind);
  void report(bool appeared, const std::string& path);

  std::string devRoot_;
  int fd_ = -1;
  std::map<int, std::pair<Kind, std::string>> watches_;  // watch descriptor -> folder
  Handler onChange_;
  std::unique_ptr<Waiting> waiting_;
};

}  // namespace tessel
