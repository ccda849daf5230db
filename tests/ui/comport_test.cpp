// The COM port dialog's widgets driving the engine: the user's edits run
// the engine's handlers, the engine's writes show in the widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "app/wiring.h"
#include "fake_serial_link.h"
#include "fake_tick_timer.h"
#include "link/tcom_port.h"
#include "memory_settings_store.h"
#include "prompt_script.h"
#include "ui/com_port_window.h"

namespace tessel::testing {
namespace {

class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog = std::make_unique<ComPortWindow>(&settings);
    dialog->devicePath = [](int port) {
      return port == 2 ? std::string("/dev/ttyUSB7") : std::string();
    };
    engine = std::make_unique<TcomPort>(serial, timer, prompts, settings, *dialog);
    connectComPortWindow(*dialog, *engine);
  }
  void TearDown() override {
    dialog->setHandlers({});
    engine.reset();
  }

  // A radio button takes clicks on its indicator and caption only, whatever
  // width the layout gives it.
  static void clickIndicator(QAbstractButton* b) {
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->height() / 2, b->height() / 2));
  }
  // Types text into the port number box as a user would.
  void typePort(const QString& text) {
    QLineEdit* edit = dialog->portNumberBox()->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }

  FakeTickTimer timer;
  FakeSerialLink serial;
  PromptScript prompts;
  MemorySettingsStore settings;
  std::unique_ptr<ComPortWindow> dialog;
  std::unique_ptr<TcomPort> engine;
};

TEST_F(ComPortTest, CaptionsAndControls) {
  EXPECT_EQ(dialog->windowTitle(), "COM Port");
  EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(dialog->isModal());
  QStringList bauds;
  for (int i = 0; i < dialog->baudRateBox()->count(); ++i)
    bauds << dialog->baudRateBox()->itemText(i);
  EXPECT_EQ(bauds, (QStringList{"    300", "    600", "  1200", "  2400", "  4800", "  9600",
                                "19200", "38400"}));
  EXPECT_EQ(dialog->autoConfigureButton()->text(), "&Auto Configure");
  EXPECT_EQ(dialog->autoConfigureButton()->accessibleName(), "Auto Configure");
  EXPECT_EQ(dialog->defaultsButton()->text(), "Defaults");
  EXPECT_EQ(dialog->finishButton()->text(), "Finish");
  EXPECT_EQ(dialog->parityButton(0)->text(), "Even");
  EXPECT_EQ(dialog->parityButton(0)->accessibleName(), "Even");
  EXPECT_EQ(dialog->baudRateBox()->accessibleName(), "Baud Rate");
  EXPECT_EQ(dialog->parityButton(2)->text(), "None");
  EXPECT_EQ(dialog->dataBitsButton(1)->text(), "8");
  EXPECT_EQ(dialog->stopBitsButton(1)->text(), "2");
}

TEST_F(ComPortTest, DefaultsButtonSetsPortOneAt9600EightNoneOne) {
  serial.setBaudrate(38400);
  serial.setParity(paEven);
  QTest::mouseClick(dialog->defaultsButton(), Qt::LeftButton);
  EXPECT_EQ(dialog->portNumberBox()->currentText(), "1");
  EXPECT_EQ(dialog->baudRateBox()->currentText(), "  9600");
  EXPECT_TRUE(dialog->parityButton(2)->isChecked());
  EXPECT_TRUE(dialog->dataBitsButton(1)->isChecked());
  EXPECT_TRUE(dialog->stopBitsButton(0)->isChecked());
  EXPECT_EQ(serial.Port(), 1);
  EXPECT_EQ(serial.Baudrate(), 9600);
  EXPECT_EQ(serial.Parity(), paNone);
  EXPECT_TRUE(serial.Active());
}

TEST_F(ComPortTest, UserEditsReachTheSerialPort) {
  QTest::mouseClick(dialog->defaultsButton(), Qt::LeftButton);
  dialog->show();
  dialog->baudRateBox()->setCurrentIndex(7);
  EXPECT_EQ(serial.Baudrate(), 38400);
  clickIndicator(dialog->parityButton(0));
  EXPECT_EQ(serial.Parity(), paEven);
  clickIndicator(dialog->dataBitsButton(0));
  EXPECT_EQ(serial.DataBits(), d7bit);
  clickIndicator(dialog->stopBitsButton(1));
  EXPECT_EQ(serial.StopBits(), st2bit);
  // A typed rate outside the list closes the port.
  dialog->baudRateBox()->lineEdit()->selectAll();
  QTest::keyClicks(dialog->baudRateBox()->lineEdit(), "1234");
  EXPECT_FALSE(serial.Active());
}

TEST_F(ComPortTest, TypingAPortNumberOpensThatPortAndShowsItsDevice) {
  typePort("2");
  EXPECT_EQ(serial.Port(), 2);
  EXPECT_TRUE(serial.Active());
  EXPECT_EQ(dialog->deviceLabel()->text(), "/dev/ttyUSB7");
  // The drop-down lists each number with its device; the box keeps the number.
  EXPECT_EQ(dialog->portItemText("2"), "2  /dev/ttyUSB7");
  EXPECT_EQ(dialog->portItemText("3"), "3  (none)");
  EXPECT_EQ(dialog->portNumberText(), "2");
  // No number: the port stays closed and the timer stops.
  timer.start();
  typePort("x");
  EXPECT_FALSE(serial.Active());
  EXPECT_FALSE(timer.isActive());
  EXPECT_EQ(dialog->deviceLabel()->text(), "");
}

TEST_F(ComPortTest, LeavingAnEmptyPortNumberSaysItNeedsAValue) {
  QLineEdit other;
  dialog->show();
  dialog->portNumberBox()->lineEdit()->clear();
  QApplication::setActiveWindow(dialog.get());
  dialog->portNumberBox()->lineEdit()->setFocus();
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(dialog->portNumberBox()->lineEdit(), &out);
  EXPECT_EQ(prompts.texts(), std::vector<std::string>{"COM Port needs a value."});
}

TEST_F(ComPortTest, AutoConfigureDisablesTheLineSettingsAndFinishEndsTheSearch) {
  QTest::mouseClick(dialog->defaultsButton(), Qt::LeftButton);
  dialog->show();
  QTest::mouseClick(dialog->autoConfigureButton(), Qt::LeftButton);
  EXPECT_EQ(engine->task(), tkAutoConfigure);
  EXPECT_EQ(dialog->autoConfigureButton()->text(), "Cancel");
  EXPECT_FALSE(dialog->portNumberBox()->isEnabled());
  EXPECT_FALSE(dialog->baudRateBox()->isEnabled());
  QTest::mouseClick(dialog->finishButton(), Qt::LeftButton);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->autoConfigureButton()->text(), "&Auto Configure");
  EXPECT_TRUE(dialog->portNumberBox()->isEnabled());
  EXPECT_EQ(engine->state(), psIdle);
}

TEST_F(ComPortTest, FinishOrClosingDuringAReadKeepsTheReadAndThePort) {
  QTest::mouseClick(dialog->defaultsButton(), Qt::LeftButton);
  serial.responder = [this](const std::string& line) {
    if (line == "AT") serial.queueReply("OK\r\n");
  };
  engine->StartTask(tkGetLocal, "&Get Local Radio Parameters", {{0, 0}});
  serial.pump();
  const PortState state = engine->state();
  ASSERT_NE(state, psIdle);
  const int opens = serial.openAttempts;
  for (bool viaFinish : {true, false}) {
    dialog->show();
    if (viaFinish)
      QTest::mouseClick(dialog->finishButton(), Qt::LeftButton);
    else
      dialog->close();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(serial.openAttempts, opens);
    EXPECT_EQ(engine->state(), state);
    EXPECT_EQ(engine->task(), tkGetLocal);
  }
}

TEST_F(ComPortTest, EngineWritesRunNoHandlers) {
  QTest::mouseClick(dialog->defaultsButton(), Qt::LeftButton);
  const int opens = serial.openAttempts;
  dialog->setPortNumberText("5");
  dialog->setBaudRateIndex(0);
  dialog->setParityIndex(1);
  EXPECT_EQ(serial.Port(), 1);
  EXPECT_EQ(serial.Baudrate(), 9600);
  EXPECT_EQ(serial.Parity(), paNone);
  EXPECT_EQ(serial.openAttempts, opens);
  EXPECT_EQ(dialog->portNumberText(), "5");
  EXPECT_EQ(dialog->baudRateText(), "    300");
  EXPECT_EQ(dialog->parityIndex(), 1);
}

}  // namespace
}  // namespace tessel::testing
