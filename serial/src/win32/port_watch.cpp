// Serial ports appearing and going on Windows: the system keeps its map of
// COM ports in the registry (HARDWARE\DEVICEMAP\SERIALCOMM), and tells of
// each change of it, so nothing polls.
#include "serial/port_watch.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "os_error.h"
#include "platform/serial_ports.h"
#include "session.h"

namespace tessel {

namespace {

constexpr DWORD kChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

}  // namespace

struct PortWatch::Waiting {
  HKEY key = nullptr;  // DEVICEMAP, whose SERIALCOMM may come and go
  win32io::Handle changed;
  win32io::Handle stop;
  std::vector<std::string> known;
  ~Waiting() {
    if (key) RegCloseKey(key);
  }
  // Asks for the next change; 0 or the system's code.
  LONG arm() const { return RegNotifyChangeKeyValue(key, TRUE, kChanges, changed.get(), TRUE); }
};

PortWatch::PortWatch(std::string devRoot) : devRoot_(std::move(devRoot)) {}

PortWatch::~PortWatch() = default;

int PortWatch::start() {
  if (waiting_) return 0;
  auto w = std::make_unique<Waiting>();
  LONG r =
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP", 0, KEY_NOTIFY | KEY_READ, &w->key);
  if (r != ERROR_SUCCESS) return static_cast<int>(r);
  w->changed.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  w->stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!w->changed.valid() || !w->stop.valid()) return static_cast<int>(GetLastError());
  if ((r = w->arm()) != ERROR_SUCCESS) return static_cast<int>(r);
  w->known = platform::systemSerialPorts(devRoot_);
  waiting_ = std::move(w);
  return 0;
}

void PortWatch::readEvents() {
  if (!waiting_) return;
  const std::vector<std::string> now = platform::systemSerialPorts(devRoot_);
  std::vector<std::string>& known = waiting_->known;
  for (const std::string& port : known)
    if (std::find(now.begin(), now.end(), port) == now.end()) report(false, port);
  for (const std::string& port : now)
    if (std::find(known.begin(), known.end(), port) == known.end()) report(true, port);
  known = now;
}

int PortWatch::run() {
  if (!waiting_) return ERROR_INVALID_HANDLE;
  HANDLE both[2] = {waiting_->changed.get(), waiting_->stop.get()};
  for (;;) {
    const DWORD w = WaitForMultipleObjects(2, both, FALSE, INFINITE);
    if (w == WAIT_OBJECT_0 + 1) return 0;
    if (w != WAIT_OBJECT_0) return static_cast<int>(GetLastError());
    // Asked again before looking, so a change while reading is not missed.
    if (LONG r = waiting_->arm()) return static_cast<int>(r);
    readEvents();
  }
}

void PortWatch::stop() {
  if (waiting_) SetEvent(waiting_->stop.get());
}

std::string PortWatch::startError(int err) const {
  return "cannot watch the system's serial ports: " + oserr::text(err);
}

void PortWatch::report(bool appeared, const std::string& path) {
  auto handler = onChange_;  // the handler may replace itself
  if (handler) handler(PortChange{appeared, path});
}

}  // namespace tessel
