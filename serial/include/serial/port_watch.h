#pragma once

// Serial adapters being plugged and unplugged, as the kernel and udev make
// and remove their device files: inotify on /dev and on /dev/serial/by-id
// (followed as udev makes and removes it), so nothing polls. The owner puts
// fd() into its event loop (a QSocketNotifier, poll) and calls readEvents()
// when it is readable; the handler runs there, once per change.
#include <functional>
#include <map>
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

  // Starts watching; 0, or the errno of the failure (no inotify, no devRoot).
  int start();
  // Readable when changes are waiting; -1 before start().
  int fd() const { return fd_; }
  // Reads what is waiting without blocking and reports each serial device
  // or by-id link that appeared or went.
  void readEvents();
  void setOnChange(Handler handler) { onChange_ = std::move(handler); }

 private:
  enum class Kind { dev, serial, byId };
  void watch(const std::string& path, Kind kind);
  void report(bool appeared, const std::string& path);

  std::string devRoot_;
  int fd_ = -1;
  std::map<int, std::pair<Kind, std::string>> watches_;  // watch descriptor -> folder
  Handler onChange_;
};

}  // namespace tessel
