#include <gtest/gtest.h>

#include "memory_settings_store.h"
#include "serial/usb_info.h"
#include "temp_tree.h"

namespace tessel {
namespace testing {
namespace {

// A machine with an FTDI adapter (ttyUSB0), an Arduino-like CDC device
// (ttyACM0) and a built-in port (ttyS0), as sysfs and udev show them.
class FakeMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string usb = "sys/devices/pci0000:00/0000:00:14.0/usb1/";
    t.file(usb + "1-2/idVendor", "0403\n");
    t.file(usb + "1-2/idProduct", "6001\n");
    t.file(usb + "1-2/manufacturer", "FTDI\n");
    t.file(usb + "1-2/product", "FT232R USB UART\n");
    t.file(usb + "1-2/serial", "A50285BI\n");
    t.dir(usb + "1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0");
    t.link("sys/class/tty/ttyUSB0/device", t.path(usb + "1-2/1-2:1.0/ttyUSB0"));

    t.file(usb + "1-3/idVendor", "2341\n");
    t.file(usb + "1-3/idProduct", "0043\n");  // no manufacturer, product or serial
    t.dir(usb + "1-3/1-3:1.0/tty/ttyACM0");
    t.link("sys/class/tty/ttyACM0/device", t.path(usb + "1-3/1-3:1.0"));

    t.dir("sys/devices/platform/serial8250/tty/ttyS0");
    t.link("sys/class/tty/ttyS0/device", t.path("sys/devices/platform/serial8250"));
    // Above the sysfs root: a walk that left it would take this for the adapter.
    t.file("idVendor", "dead\n");

    for (const char* d : {"dev/ttyUSB0", "dev/ttyACM0", "dev/ttyS0", "dev/tty0"}) t.file(d, "");
    t.link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");
    byId = t.path("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
  }

  SerialPortInfo describe(const std::string& rel) {
    return describePort(t.path(rel), t.path("sys"), t.path("dev"));
  }

  TempTree t;
  std::string byId;
};

TEST_F(FakeMachine, DescribesUsbAdaptersByTheirSysfsAttributesAndStableName) {
  struct Case {
    const char* device;
    bool usb;
    std::string summary;
    bool hasById;
  } cases[] = {
      {"dev/ttyUSB0", true, "USB 0403:6001, FTDI FT232R USB UART, serial A50285BI", true},
      {"dev/ttyACM0", true, "USB 2341:0043", false},
      {"dev/ttyS0", false, "", false},
      {"dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", true,
       "USB 0403:6001, FTDI FT232R USB UART, serial A50285BI", true},
  };
  for (const Case& c : cases) {
    SerialPortInfo i = describe(c.device);
    EXPECT_TRUE(i.present) << c.device;
    EXPECT_EQ(i.usb, c.usb) << c.device;
    EXPECT_EQ(usbSummary(i), c.summary) << c.device;
    EXPECT_EQ(i.byId, c.hasById ? byId : "") << c.device;
  }
  EXPECT_EQ(describe("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").kernelName,
            "ttyUSB0");

  // Unplugged: the device is gone, its stable link dangles.
  std::filesystem::remove(t.path("dev/ttyUSB0"));
  SerialPortInfo gone = describe("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
  EXPECT_FALSE(gone.present);
  EXPECT_FALSE(gone.usb);
}

TEST_F(FakeMachine, ListingShowsEachComNumberWithWhatItIsAndPinnedStableNames) {
  MemorySettingsStore settings;
  settings.writeString("COM4", byId);  // pinned to the adapter, whichever socket it is in
  settings.writeString("COM5", t.path("dev/serial/by-id/usb-Unplugged-if00-port0"));
  settings.writeString("COM6", "rfc2217://plant-7:4001");  // a device server
  auto ports = listComPorts(&settings, t.path("dev"), t.path("sys"));
  ASSERT_EQ(ports.size(), 6u);
  ports.pop_back();
  const std::vector<std::string> kernel{"ttyUSB0", "ttyACM0", "ttyS0", "ttyUSB0", ""};
  for (size_t i = 0; i < ports.size(); ++i) {
    EXPECT_EQ(ports[i].com, static_cast<int>(i) + 1);
    EXPECT_EQ(ports[i].pinned, i >= 3) << i;
    EXPECT_EQ(ports[i].info.kernelName, kernel[i]) << i;
  }
  EXPECT_EQ(ports[3].info.device, byId);
  EXPECT_FALSE(ports[4].info.present);

  const std::string text = comPortListText(ports);
  const std::string expected =
      "COM1  " + t.path("dev/ttyUSB0") + "\n" +
      "      USB 0403:6001, FTDI FT232R USB UART, serial A50285BI\n" + "      " + byId + "\n" +
      "COM2  " + t.path("dev/ttyACM0") + "\n" + "      USB 2341:0043\n" + "COM3  " +
      t.path("dev/ttyS0") + "\n" + "COM4  " + byId + " (set for COM4) -> ttyUSB0\n" +
      "      USB 0403:6001, FTDI FT232R USB UART, serial A50285BI\n" + "COM5  " +
      t.path("dev/serial/by-id/usb-Unplugged-if00-port0") + " (set for COM5), not present\n";
  EXPECT_EQ(text, expected);
  EXPECT_EQ(comPortListText({}), "No serial ports found.\n");
  EXPECT_EQ(
      comPortListText(listComPorts(&settings, t.path("dev"), t.path("sys"))),
      expected + "COM6  rfc2217://plant-7:4001: network port, line settings through RFC 2217\n");

  EXPECT_EQ(comPortDescription(ports[0]),
            t.path("dev/ttyUSB0") + ": USB 0403:6001, FTDI FT232R USB UART, serial A50285BI");
  EXPECT_EQ(comPortDescription(ports[2]), t.path("dev/ttyS0"));
  EXPECT_EQ(comPortDescription(ports[3]),
            byId + " (ttyUSB0): USB 0403:6001, FTDI FT232R USB UART, serial A50285BI");
  EXPECT_EQ(comPortDescription(ports[4]),
            t.path("dev/serial/by-id/usb-Unplugged-if00-port0") + ": not present");

  // Pinning offers the stable name of what is behind a number now.
  const std::string none;
  const std::string pins[] = {byId, none, none, byId, none, none};
  for (int com = 1; com <= 6; ++com)
    EXPECT_EQ(stableDeviceFor(com, &settings, t.path("dev"), t.path("sys")), pins[com - 1]) << com;
}

}  // namespace
}  // namespace testing
}  // namespace tessel
