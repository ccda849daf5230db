#include "serial/usb_info.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "seams/settings_store.h"
#include "serial/com_ports.h"
#include "serial/net_address.h"

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

std::string usbSummary(const SerialPortInfo& info) {
  if (!info.usb) return {};
  std::string text = "USB " + info.vendorId + ":" + info.productId;
  std::string name = info.manufacturer;
  if (!info.product.empty()) name += (name.empty() ? "" : " ") + info.product;
  if (!name.empty()) text += ", " + name;
  if (!info.serial.empty()) text += ", serial " + info.serial;
  return text;
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

std::string stableDeviceFor(int com, const SettingsStore* settings, const std::string& devRoot,
                            const std::string& sysRoot) {
  const std::string device = comDevicePath(com, settings, devRoot);
  if (device.empty()) return {};
  return describePort(device, sysRoot, devRoot).byId;
}

std::string pinComPort(int com, SettingsStore& settings, const std::string& devRoot,
                       const std::string& sysRoot) {
  const std::string stable = stableDeviceFor(com, &settings, devRoot, sysRoot);
  if (stable.empty() || !settings.writeString("COM" + std::to_string(com), stable)) return {};
  return stable;
}

ComPortEntry comPortEntry(int com, const std::string& device, const SettingsStore* settings,
                          const std::string& devRoot, const std::string& sysRoot) {
  ComPortEntry e;
  e.com = com;
  e.info = describePort(device, sysRoot, devRoot);
  std::string set;
  e.pinned = settings && settings->readString("COM" + std::to_string(com), set) && set == device;
  return e;
}

namespace {

// A network port is described by its address; none of the local device's
// details apply.
std::string netDescription(const std::string& device) {
  NetAddress address;
  std::string error;
  return parseNetAddress(device, address, error) ? netPortDescription(address) : error;
}

}  // namespace

std::string comPortDescription(const ComPortEntry& e) {
  const SerialPortInfo& i = e.info;
  if (isNetAddress(i.device)) return netDescription(i.device);
  if (!i.present) return i.device + ": not present";
  std::string text = i.device;
  if (i.device.find("/" + i.kernelName) == std::string::npos) text += " (" + i.kernelName + ")";
  const std::string usb = usbSummary(i);
  return usb.empty() ? text : text + ": " + usb;
}

std::string comPortListText(const std::vector<ComPortEntry>& ports) {
  if (ports.empty()) return "No serial ports found.\n";
  std::ostringstream s;
  for (const ComPortEntry& e : ports) {
    const SerialPortInfo& i = e.info;
    if (isNetAddress(i.device)) {
      s << "COM" << e.com << "  " << netDescription(i.device) << "\n";
      continue;
    }
    s << "COM" << e.com << "  " << i.device;
    if (e.pinned) s << " (set for COM" << e.com << ")";
    if (!i.present) {
      s << ", not present\n";
      continue;
    }
    if (i.device.find("/" + i.kernelName) == std::string::npos) s << " -> " << i.kernelName;
    s << "\n";
    const std::string usb = usbSummary(i);
    if (!usb.empty()) s << "      " << usb << "\n";
    if (!i.byId.empty() && i.byId != i.device) s << "      " << i.byId << "\n";
  }
  return s.str();
}

}  // namespace tessel
