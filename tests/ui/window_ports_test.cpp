// The program follows serial adapters plugged and unplugged while it runs.
#include <QLabel>
#include <filesystem>
#include <fstream>

#include "ui/com_port_window.h"
#include "window_fixture.h"

namespace tessel::testing {
namespace {

using PortsWindowTest = WindowTest;

TEST_F(PortsWindowTest, DialogFollowsAdaptersComingAndGoing) {
  devRoot = dir + "/dev";
  std::filesystem::create_directories(devRoot);
  start();
  ComPortWindow& dialog = wiring->comPort();
  dialog.setPortNumberText("1");
  const QString none = QStringLiteral("No serial device for COM1");
  EXPECT_EQ(dialog.deviceLabel()->text(), none);

  std::ofstream(devRoot + "/ttyUSB0").close();  // plugged
  EXPECT_TRUE(pumpUntil([&] { return dialog.deviceLabel()->text() != none; }));
  EXPECT_EQ(dialog.deviceLabel()->text().toStdString(), devRoot + "/ttyUSB0");

  std::filesystem::remove(devRoot + "/ttyUSB0");  // pulled
  EXPECT_TRUE(pumpUntil([&] { return dialog.deviceLabel()->text() == none; }));
}

}  // namespace
}  // namespace tessel::testing
