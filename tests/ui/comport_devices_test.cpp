// The COM port dialog on a fake machine: what each number is, pinning the
// selected adapter by its stable name, and following adapters that come
// and go.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <memory>

#include "memory_settings_store.h"
#include "temp_tree.h"
#include "ui/com_port_window.h"

namespace tessel::testing {
namespace {

const char* const kFtdi = "USB 0403:6001, FTDI FT232R USB UART, serial A50285BI";
const char* const kById = "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

// An FTDI adapter (ttyUSB0, COM1) with its by-id name, and a built-in port
// (ttyS0, COM2) without one.
class ComPortDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plugAdapter();
    t.dir("sys/devices/platform/serial8250/tty/ttyS0");
    t.link("sys/class/tty/ttyS0/device", t.path("sys/devices/platform/serial8250"));
    t.file("dev/ttyS0", "");
    dialog = std::make_unique<ComPortWindow>(&settings);
    dialog->devRoot = t.path("dev");
    dialog->sysRoot = t.path("sys");
  }

  void plugAdapter() {
    const std::string usb = "sys/devices/pci0000:00/0000:00:14.0/usb1/";
    t.file(usb + "1-2/idVendor", "0403\n");
    t.file(usb + "1-2/idProduct", "6001\n");
    t.file(usb + "1-2/manufacturer", "FTDI\n");
    t.file(usb + "1-2/product", "FT232R USB UART\n");
    t.file(usb + "1-2/serial", "A50285BI\n");
    t.dir(usb + "1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0");
    if (!std::filesystem::is_symlink(t.path("sys/class/tty/ttyUSB0/device")))
      t.link("sys/class/tty/ttyUSB0/device", t.path(usb + "1-2/1-2:1.0/ttyUSB0"));
    t.file("dev/ttyUSB0", "");
    t.link(kById, "../../ttyUSB0");
  }
  void unplugAdapter() {
    std::filesystem::remove(t.path("dev/ttyUSB0"));
    std::filesystem::remove(t.path(kById));
  }
  void select(const char* port) { dialog->setPortNumberText(port); }

  TempTree t;
  MemorySettingsStore settings;
  std::unique_ptr<ComPortWindow> dialog;
};

TEST_F(ComPortDevicesTest, EachNumberShowsItsDeviceAndWhatItIs) {
  const std::string dev = t.path("dev");
  EXPECT_EQ(dialog->portItemText("1").toStdString(), "1  " + dev + "/ttyUSB0: " + kFtdi);
  EXPECT_EQ(dialog->portItemText("2").toStdString(), "2  " + dev + "/ttyS0");
  EXPECT_EQ(dialog->portItemText("3").toStdString(), "3  (none)");
  select("1");
  EXPECT_EQ(dialog->deviceLabel()->text().toStdString(), dev + "/ttyUSB0: " + kFtdi);
  // A number with no device behind it says so beside the number.
  select("3");
  EXPECT_EQ(dialog->deviceLabel()->text(), "No serial device for COM3");
  select("12");
  EXPECT_EQ(dialog->deviceLabel()->text(), "No serial device for COM12");
  select("0");  // the list of the ports there are
  EXPECT_EQ(dialog->deviceLabel()->text(), "");
}

TEST_F(ComPortDevicesTest, PinningKeepsTheNumberOnTheAdaptersStableName) {
  QPushButton* pin = dialog->pinButton();
  EXPECT_EQ(pin->text(), "Pin to this adapter");
  EXPECT_EQ(pin->accessibleName(), "Pin to this adapter");
  // Nothing chosen, or a port without a stable name: nothing to pin.
  EXPECT_FALSE(pin->isEnabled());
  select("2");
  EXPECT_FALSE(pin->isEnabled());

  select("1");
  ASSERT_TRUE(pin->isEnabled());
  QTest::mouseClick(pin, Qt::LeftButton);
  std::string stored;
  ASSERT_TRUE(settings.readString("COM1", stored));
  EXPECT_EQ(stored, t.path(kById));
  EXPECT_FALSE(pin->isEnabled());  // already pinned
  EXPECT_EQ(dialog->deviceLabel()->text().toStdString(), t.path(kById) + " (ttyUSB0): " + kFtdi);
  // Another port is not touched.
  EXPECT_FALSE(settings.readString("COM2", stored));
}

TEST_F(ComPortDevicesTest, DescriptionsFollowAnAdapterUnpluggedAndPluggedBack) {
  settings.writeString("COM1", t.path(kById));
  select("1");
  unplugAdapter();
  dialog->refreshPorts();
  EXPECT_EQ(dialog->deviceLabel()->text().toStdString(), t.path(kById) + ": not present");
  EXPECT_FALSE(dialog->pinButton()->isEnabled());
  plugAdapter();
  dialog->refreshPorts();
  EXPECT_EQ(dialog->deviceLabel()->text().toStdString(), t.path(kById) + " (ttyUSB0): " + kFtdi);
}

TEST_F(ComPortDevicesTest, UnpinnedAdapterGoneLeavesTheNextDeviceOnItsNumber) {
  select("1");
  unplugAdapter();
  dialog->refreshPorts();
  // COM1 now maps to the built-in port, which cannot be pinned.
  EXPECT_EQ(dialog->deviceLabel()->text().toStdString(), t.path("dev") + "/ttyS0");
  EXPECT_FALSE(dialog->pinButton()->isEnabled());
}

}  // namespace
}  // namespace tessel::testing
