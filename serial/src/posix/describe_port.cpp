// What a serial device is on Linux: the USB adapter behind it, from sysfs,
// and the name udev gave it under /dev/serial/by-id/.
#include <filesystem>
#include <fstream>
#include <system_error>

#include "seams/settings_store.h"
#include "serial/com_ports.h"
#include "serial/usb_info.h"

namespace tessel {

namespace fs = std::filesystem;

namespace {

// First line of a sysfs attribute; empty when absent.
std::string attribute(const fs::path& dir, const char* name) {
  std::ifstream in(dir / name);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

// Whether dir lies inside root (both resolved), so the walk up from a
// device never leaves the sysfs tree it was given.
bool inside(const fs::path& dir, const fs::path& root) {
  auto d = dir.begin();
  for (auto r = root.begin(); r != root.end(); ++r, ++d)
    if (d == dir.end() || *d != *r) return false;
  return d != dir.end();
}

}  // namespace

SerialPortInfo describePort(const std::string& device, const std::string& sysRoot,
                            const std::string& devRoot) {
  SerialPortInfo info;
  info.device = device;
  std::error_code ec;
  const fs::path real = fs::canonical(device, ec);
  info.present = !ec;
  if (!info.present) return info;
  info.kernelName = real.filename().string();

  // The tty's device folder sits below the USB interface; the USB device
  // is the first folder up that carries idVendor.
  const fs::path root = fs::canonical(sysRoot, ec);
  if (!ec) {
    fs::path dir =
        fs::canonical(fs::path(sysRoot) / "class" / "tty" / info.kernelName / "device", ec);
    for (; !ec && inside(dir, root); dir = dir.parent_path()) {
      if (fs::exists(dir / "idVendor", ec)) {
        info.usb = true;
        info.vendorId = attribute(dir, "idVendor");
        info.productId = attribute(dir, "idProduct");
        info.manufacturer = attribute(dir, "manufacturer");
        info.product = attribute(dir, "product");
        info.serial = attribute(dir, "serial");
        break;
      }
    }
  }

  ec.clear();
  for (fs::directory_iterator it(fs::path(devRoot) / "serial" / "by-id", ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code linkEc;
    if (fs::canonical(it->path(), linkEc) == real && !linkEc) {
      info.byId = it->path().string();
      break;
    }
  }
  return info;
}

std::vector<ComPortEntry> listComPorts(const SettingsStore* settings, const std::string& devRoot,
                                       const std::string& sysRoot) {
  std::vector<ComPortEntry> list;
  for (int com = 1; com <= 9; ++com) {
    std::string pinnedPath;
    const bool pinned = settings && settings->readString("COM" + std::to_string(com), pinnedPath) &&
                        !pinnedPath.empty();
    const std::string device = comDevicePath(com, settings, devRoot);
    if (device.empty()) continue;
    ComPortEntry e;
    e.com = com;
    e.pinned = pinned;
    e.info = describePort(device, sysRoot, devRoot);
    list.push_back(std::move(e));
  }
  return list;
}

}  // namespace tessel
