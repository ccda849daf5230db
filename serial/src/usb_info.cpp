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

std::string usbSummary(const SerialPortInfo& info) {
  if (!info.usb) return {};
  std::string text = "USB " + info.vendorId + ":" + info.productId;
  std::string name = info.manufacturer;
  if (!info.product.empty()) name += (name.empty() ? "" : " ") + info.product;
  if (!name.empty()) text += ", " + name;
  if (!info.serial.empty()) text += ", serial " + info.serial;
  return text;
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
  if (!i.kernelName.empty() && i.device.find("/" + i.kernelName) == std::string::npos)
    text += " (" + i.kernelName + ")";
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
    if (!i.kernelName.empty() && i.device.find("/" + i.kernelName) == std::string::npos)
      s << " -> " << i.kernelName;
    s << "\n";
    const std::string usb = usbSummary(i);
    if (!usb.empty()) s << "      " << usb << "\n";
    if (!i.byId.empty() && i.byId != i.device) s << "      " << i.byId << "\n";
  }
  return s.str();
}

}  // namespace tessel
