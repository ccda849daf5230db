#pragma once

// What a serial device is: the USB adapter behind it (from sysfs) and the
// stable name udev gave it under /dev/serial/by-id/. The roots are
// parameters so tests can use a fake tree.
#include <string>
#include <vector>

namespace tessel {

class SettingsStore;

struct SerialPortInfo {
  std::string device;      // as asked for (a by-id link stays a link)
  std::string kernelName;  // "ttyUSB0": the device the path resolves to
  bool present = false;    // the device exists now
  bool usb = false;
  std::string vendorId, productId;  // "0403", "6001"
  std::string manufacturer, product, serial;
  std::string byId;  // the /dev/serial/by-id/ link to it, empty when udev made none
};

SerialPortInfo describePort(const std::string& device, const std::string& sysRoot = "/sys",
                            const std::string& devRoot = "/dev");

// "USB 0403:6001, FTDI FT232R USB UART, serial A50285BI"; empty for a port
// that is not USB.
std::string usbSummary(const SerialPortInfo& info);

// One COM number with its device.
struct ComPortEntry {
  int com = 0;
  bool pinned = false;  // the per-user "COM<n>" setting names the device
  SerialPortInfo info;
};

// COM1 to COM9 as comDevicePath() maps them, each that has a device.
std::vector<ComPortEntry> listComPorts(const SettingsStore* settings,
                                       const std::string& devRoot = "/dev",
                                       const std::string& sysRoot = "/sys");

// The name to keep in the "COM<com>" setting so the radio keeps that number
// whichever USB socket its adapter is in: the /dev/serial/by-id/ link of the
// device behind COM<com> now. Empty when there is none (no device, a
// built-in port, an adapter without a serial number).
std::string stableDeviceFor(int com, const SettingsStore* settings,
                            const std::string& devRoot = "/dev",
                            const std::string& sysRoot = "/sys");

// Keeps COM<com> on the adapter behind it now, whichever USB socket it is
// in later: writes stableDeviceFor() to the "COM<com>" setting. The name
// written, or empty (and nothing written) when the device has none.
std::string pinComPort(int com, SettingsStore& settings, const std::string& devRoot = "/dev",
                       const std::string& sysRoot = "/sys");

// The COM<com> entry as the dialog shows it: device is what COM<com> maps
// to; pinned when the "COM<com>" setting names it.
ComPortEntry comPortEntry(int com, const std::string& device, const SettingsStore* settings,
                          const std::string& devRoot = "/dev", const std::string& sysRoot = "/sys");

// One line for the COM port dialog beside the number: the device, what it
// resolves to when that is another name, and the USB adapter, or "not
// present" for a pinned device that is unplugged.
std::string comPortDescription(const ComPortEntry& entry);

// The listing as text, one block per COM number.
std::string comPortListText(const std::vector<ComPortEntry>& ports);

}  // namespace tessel
