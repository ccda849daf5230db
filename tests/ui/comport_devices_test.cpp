// The COM port dialog on a fake machine: what each number is, pinning the
// selected adapter by its stable name, and following adapters that come
// and go.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
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

// "Network..." maps the selected number to a device server from Finish on
// (the number then opens that address), and the dialog says who sets a raw
// port's line; closed without Finish nothing is taken, and clearing the
// address gives the number back the device it had.
TEST_F(ComPortDevicesTest, NetworkMapsTheNumberToAnAddressAtFinish) {
  int reopened = 0;
  ComPortWindow::Handlers h;
  h.portNumberChange = [&] { ++reopened; };
  dialog->setHandlers(h);
  const std::string device = t.path("dev/ttyS0");
  settings.writeString("COM3", device);
  QPushButton* network = dialog->networkButton();
  EXPECT_EQ(network->accessibleName(), "Network...");
  EXPECT_FALSE(network->isEnabled());  // no number chosen
  select("3");
  ASSERT_TRUE(network->isEnabled());
  std::string held;

  const struct {
    const char* address;
    const char* says;
  } steps[] = {{"tcp://plant-server:4003", "raw TCP, the line settings are the server's"},
               {"rfc2217://[fd00::7]:4003", "network port, line settings through RFC 2217"}};
  std::string before;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.address);
    QTest::mouseClick(network, Qt::LeftButton);
    QInputDialog* ask = dialog->networkDialog();
    ASSERT_NE(ask, nullptr);
    EXPECT_EQ(ask->findChild<QLineEdit*>()->accessibleName(), "Network address");
    EXPECT_EQ(ask->textValue().toStdString(), before);  // what the number maps to now
    QPushButton* ok = ask->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    ask->setTextValue(QStringLiteral("tcp://plant-server"));
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_NE(ask->labelText().toStdString().find("the port number is missing"), std::string::npos);
    ask->setTextValue(QString::fromLatin1(step.address));
    ASSERT_TRUE(ok->isEnabled());
    QTest::mouseClick(ok, Qt::LeftButton);
    const std::string shown = std::string(step.address) + ": " + step.says;
    EXPECT_EQ(dialog->deviceLabel()->text().toStdString(), shown + ", from Finish");
    EXPECT_TRUE(settings.readString("COM3", held));
    EXPECT_EQ(held, before.empty() ? device : before) << "taken before Finish";
    QTest::mouseClick(dialog->finishButton(), Qt::LeftButton);
    EXPECT_TRUE(settings.readString("COM3", held));
    EXPECT_EQ(held, step.address);
    EXPECT_EQ(dialog->deviceLabel()->text().toStdString(), shown);
    EXPECT_EQ(dialog->portItemText("3").toStdString(), "3  " + shown);
    before = step.address;
  }
  EXPECT_EQ(reopened, 2);
  // Chosen, then the dialog closed: nothing taken.
  dialog->show();
  QTest::mouseClick(network, Qt::LeftButton);
  dialog->networkDialog()->setTextValue(QStringLiteral("tcp://other:1"));
  dialog->networkDialog()->accept();
  dialog->hide();
  EXPECT_TRUE(settings.readString("COM3", held));
  EXPECT_EQ(held, before);
  // Emptied, the number goes back to the device it had before.
  QTest::mouseClick(network, Qt::LeftButton);
  dialog->networkDialog()->setTextValue(QString());
  dialog->networkDialog()->accept();
  QTest::mouseClick(dialog->finishButton(), Qt::LeftButton);
  EXPECT_EQ(dialog->portItemText("3").toStdString(), "3  " + device);
  EXPECT_EQ(reopened, 3);
}

}  // namespace
}  // namespace tessel::testing
