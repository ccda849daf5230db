// The engine over a real serial component on a pseudo-terminal whose far
// end closes, as a pulled USB adapter does.
#include "../serial/pty_fixture.h"
#include "fake_tick_timer.h"
#include "link/com_port_view.h"
#include "link/link_serial.h"
#include "link/tcom_port.h"

namespace tessel::testing {
namespace {

using EngineOverPty = SerialOverPty;

TEST_F(EngineOverPty, FarEndClosingMidReadEndsTheTaskWithOneMessage) {
  TSerial& serial = openSerial();
  configureLinkSerial(serial);
  FakeTickTimer timer;
  MemoryComPortView view;
  TcomPort engine(serial, timer, prompts_, settings_, view);
  ASSERT_TRUE(serial.Active());

  engine.StartTask(tkGetLocal, "Get Local", {{0, 0}});
  EXPECT_EQ(readMaster(3), "AT\r");
  ASSERT_EQ(engine.task(), tkGetLocal);

  closeMaster();
  ASSERT_TRUE(gui_.runUntil([&] { return !prompts_.shown.empty(); }, 1000ms));
  gui_.runFor(100ms);  // nothing more comes
  EXPECT_EQ(prompts_.shown.size(), 1u);
  EXPECT_NE(prompts_.shown[0].text.find(slavePath_), std::string::npos) << prompts_.shown[0].text;
  EXPECT_FALSE(serial.Active());
  EXPECT_EQ(engine.task(), tkLocalOnly);
  EXPECT_EQ(engine.state(), psIdle);
  EXPECT_FALSE(timer.isActive());
}

}  // namespace
}  // namespace tessel::testing
