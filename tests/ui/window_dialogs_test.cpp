// The blocked frequency and model-E dialogs as the user meets them: their
// controls, keys, pastes, buttons and what they leave in the panel.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <fstream>
#include "ui/blocked_frequency_dialog.h"
#include "ui/model_e_dialog.h"
#include "ui/qt_seams.h"

#include "window_fixture.h"

namespace tessel::testing {
namespace {

class DialogsWindowTest : public WindowTest {
 protected:
  BlockedFrequencyDialog& openBlocked() {
    static_cast<QPushButton*>(panel().control(ctl::blocked))->click();
    BlockedFrequencyDialog* d = window().blockedDialog();
    QApplication::setActiveWindow(d);
    EXPECT_TRUE(pumpUntil([d] { return d->isActiveWindow(); }, 1000));
    return *d;
  }
  ModelEDialog& openModelE() {
    static_cast<QPushButton*>(panel().control(ctl::vireoESetup))->click();
    ModelEDialog* d = window().modelEDialog();
    QApplication::setActiveWindow(d);
    EXPECT_TRUE(pumpUntil([d] { return d->isActiveWindow(); }, 1000));
    return *d;
  }
  // Types into a field that has the focus, then leaves it with Tab.
  void typeAndLeave(QLineEdit* edit, const char* keys) {
    edit->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(edit, QLatin1String(keys));
    QTest::keyClick(edit, Qt::Key_Tab);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
  }
  void pasteInto(QLineEdit* edit, const char* text) {
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    QApplication::clipboard()->setText(QLatin1String(text));
    QTest::keySequence(edit, QKeySequence::Paste);
  }
};

TEST_F(DialogsWindowTest, BlockedDialogControlsAndWindow) {
  start();
  window().start(dir);
  BlockedFrequencyDialog& d = openBlocked();
  EXPECT_EQ(d.windowTitle(), "Blocked Frequency");
  EXPECT_FALSE(d.isModal());
  EXPECT_TRUE(d.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(d.toolTip(), "Enter frequencies in MHz with one decimal place (eg 915.7MHz)");
  for (int i = 0; i < kBlockedCount; ++i) {
    auto* edit = d.findChild<QLineEdit*>(QStringLiteral("s%1").arg(30 + i));
    ASSERT_NE(edit, nullptr) << i;
    auto* label = d.findChild<QLabel*>(QStringLiteral("l%1").arg(30 + i));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->buddy(), edit);
    EXPECT_EQ(edit->accessibleName(), label->text());
  }
  EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("l30"))->text(), "Frequency (MHz)  1");
  EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("l41"))->text(), "Frequency (MHz) 12");
  // Created once: the button shows the same window again.
  d.hide();
  EXPECT_EQ(&openBlocked(), &d);
  EXPECT_EQ(window().findChildren<BlockedFrequencyDialog*>().size(), 1);
  EXPECT_EQ(window().findChildren<ModelEDialog*>().size(), 1);
}

TEST_F(DialogsWindowTest, BlockedKeysCompletionRangeAndPaste) {
  start();
  window().start(dir);
  BlockedFrequencyDialog& d = openBlocked();
  QLineEdit* f1 = d.field(0);
  typeAndLeave(f1, "9x15");
  EXPECT_EQ(f1->text(), "915.0");
  QLineEdit* f2 = d.field(1);
  typeAndLeave(f2, "927.75");
  EXPECT_EQ(f2->text(), "927.7") << "one decimal only";
  QLineEdit* f3 = d.field(2);
  typeAndLeave(f3, "902.1");
  EXPECT_EQ(f3->text(), "");
  ASSERT_FALSE(prompts.texts().empty());
  EXPECT_EQ(prompts.texts().back(), "902.1 not in Range of 902.2 to 927.7 MHz");

  // Pasted digits are held to what typing would let through.
  pasteInto(d.field(3), "920.55");
  EXPECT_EQ(d.field(3)->text(), "920.5");

  // Escape gives the field the text it had on entering.
  QLineEdit* f5 = d.field(4);
  f5->setFocus(Qt::MouseFocusReason);
  QTest::keyClicks(f5, QStringLiteral("91"));
  QTest::keyClick(f5, Qt::Key_Escape);
  EXPECT_EQ(f5->text(), "");
  EXPECT_TRUE(d.isVisible()) << "Escape in a field is the field's";

  static_cast<QPushButton*>(d.findChild<QPushButton*>(QStringLiteral("ok")))->click();
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(panel().blockedValues[0], "915.0");
  EXPECT_EQ(panel().blockedValues[2], "");
  EXPECT_EQ(panel().blockedValues[3], "920.5");

  // Cancel brings back what the dialog opened with; the close box commits
  // nothing.
  openBlocked();
  typeAndLeave(d.field(0), "\b\b\b\b\b903");
  d.findChild<QPushButton*>(QStringLiteral("cancel"))->click();
  EXPECT_EQ(panel().blockedValues[0], "915.0");
  openBlocked();
  EXPECT_EQ(d.field(0)->text(), "915.0");
  d.field(5)->setText(QStringLiteral("910.0"));
  d.close();
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(panel().blockedValues[5], "");
}

// The range message of a paste with letters opens over the dialog, which
// stays on top; Enter in a field presses OK; the margins are the platform's.
TEST_F(DialogsWindowTest, BlockedMessagesOpenOverTheDialogAndEnterPressesOk) {
  start();
  window().start(dir);
  QtPrompts boxes(QStringLiteral("Tessel"));
  boxes.setParent(&window());
  BlockedFrequencyDialog own(panel(), boxes, &window());
  own.open();
  QPointer<QWidget> owner;
  QString shown;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    owner = box->parentWidget();
    shown = box->text();
    box->accept();
  });
  pasteInto(own.field(0), "abc");
  EXPECT_EQ(shown, "abc not in Range of 902.2 to 927.7 MHz");
  EXPECT_EQ(owner.data(), &own);
  EXPECT_EQ(own.field(0)->text(), "");
  EXPECT_EQ(own.layout()->contentsMargins().left(),
            own.style()->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, &own));
  own.hide();

  BlockedFrequencyDialog& d = openBlocked();
  d.field(0)->setFocus(Qt::MouseFocusReason);
  QTest::keyClicks(d.field(0), QStringLiteral("915"));
  QTest::keyClick(d.field(0), Qt::Key_Return);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(panel().blockedValues[0], "915.0");
}

TEST_F(DialogsWindowTest, BlockedOkChecksTheFieldStillBeingEdited) {
  start();
  window().start(dir);
  BlockedFrequencyDialog& d = openBlocked();
  d.field(0)->setFocus(Qt::MouseFocusReason);
  QTest::keyClicks(d.field(0), QStringLiteral("950"));
  d.okClick();
  EXPECT_EQ(panel().blockedValues[0], "");
  EXPECT_EQ(prompts.texts().back(), "950 not in Range of 902.2 to 927.7 MHz");
}

// A frequency outside the band that came in without being typed (a hand-
// edited project) meets the dialog's check at OK like a typed one, and
// Change Group Settings sends nothing while one is held.
TEST_F(DialogsWindowTest, EveryBlockedFrequencyMeetsTheOneCheck) {
  const std::string path = dir + "/edited.vro";
  std::ofstream(path) << "[Project]\nGroup ID=7\ns30=915.0\ns32=950.3\n[Radio1]\n";
  settings.strings["file1"] = path;
  start();
  window().start(dir);
  action("file1")->trigger();
  ASSERT_EQ(panel().WindowMode, wmProject);
  window().changeGroupClick();
  EXPECT_EQ(window().changeDialog(), nullptr);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.texts().back().rfind("950.3 not in Range of 902.2 to 927.7 MHz. ", 0), 0u)
      << prompts.texts().back();

  BlockedFrequencyDialog& d = openBlocked();
  EXPECT_EQ(d.field(2)->text(), "950.3");
  d.field(0)->setFocus(Qt::MouseFocusReason);
  d.okClick();
  EXPECT_EQ(prompts.texts().back(), "950.3 not in Range of 902.2 to 927.7 MHz");
  EXPECT_EQ(panel().blockedValues[0], "915.0");
  EXPECT_EQ(panel().blockedValues[2], "");
}

TEST_F(DialogsWindowTest, ModelEControlsServeThePanel) {
  start(1);
  window().start(dir);
  ModelEDialog& d = openModelE();
  EXPECT_EQ(d.windowTitle(), "LUMA-MB Configuration");
  EXPECT_FALSE(d.isModal());
  EXPECT_TRUE(d.windowFlags() & Qt::WindowStaysOnTopHint);
  struct Control {
    const std::string& name;
    const char* accessible;
    const char* hint;
  };
  const Control controls[] = {
      {ctl::emulationMode, "Emulation Mode", "Select PLC emulation mode"},
      {ctl::plcAddress, "PLC Address", "Enter PLC address for this radio, range 0 to 255"},
      {ctl::sleepMode, "Sleep Mode", "Low power options for this radio"},
      {ctl::mainSerialPort, "Main Serial Port", ""},
      {ctl::startTime, "Start Time", "Start Time. 24 hour clock"},
      {ctl::onTimer, "Radio ON Time", "Time on after wake up. Range 0 to 255 seconds"},
      {ctl::offTimer, "Radio OFF Time",
       "Sleep time after ON time expires. Range 0 to 63556 seconds"},
      {ctl::setCurrentTime, "Current Time", ""},
      {ctl::usePCClock, "Use PC clock", ""},
  };
  for (const Control& c : controls) {
    QWidget* w = d.findChild<QWidget*>(QLatin1String(c.name.c_str()));
    ASSERT_NE(w, nullptr) << c.name;
    EXPECT_EQ(w->accessibleName(), c.accessible) << c.name;
    EXPECT_EQ(w->toolTip(), c.hint);
    EXPECT_EQ(panel().control(c.name), w) << "the panel reads " << c.name << " from the dialog";
  }
  EXPECT_EQ(panel().items(ctl::emulationMode),
            (std::vector<std::string>{"No Emulation (Radio Only)", "Point to Point I/O",
                                      "Modicon PLC", "Allen Bradley PLC"}));
  EXPECT_EQ(panel().items(ctl::sleepMode),
            (std::vector<std::string>{"Off", "Wakeup on PLC poll", "Programmable"}));
  EXPECT_EQ(panel().text(ctl::startTime), "06:00");
  EXPECT_TRUE(panel().checked(ctl::usePCClock));
  EXPECT_FALSE(panel().enabled(ctl::setCurrentTime));
  EXPECT_NE(panel().text(ctl::currentTime).find_first_of("0123456789"), std::string::npos)
      << "an empty current time gets the PC clock's";
  EXPECT_FALSE(d.rules().modified);
}

TEST_F(DialogsWindowTest, ModelETypingPastingAndDependencies) {
  start();
  window().start(dir);
  ModelEDialog& d = openModelE();
  auto* sleep = static_cast<QComboBox*>(d.control(ctl::sleepMode));
  sleep->setCurrentIndex(1);
  emit sleep->activated(1);
  EXPECT_TRUE(d.control(ctl::onTimer)->isEnabled());
  EXPECT_FALSE(d.control(ctl::startTime)->isEnabled());
  EXPECT_FALSE(d.control(ctl::offTimer)->isEnabled());
  EXPECT_TRUE(d.rules().modified);

  auto* on = static_cast<QLineEdit*>(d.control(ctl::onTimer));
  on->setFocus(Qt::MouseFocusReason);
  on->clear();
  QTest::keyClicks(on, QStringLiteral("3a00"));
  EXPECT_EQ(on->text(), "300");
  EXPECT_TRUE(prompts.texts().empty()) << "each check sees the text before its key";
  QTest::keyClick(on, Qt::Key_1);
  EXPECT_EQ(prompts.texts().back(), "Radio ON Time:300 is too high. Range is 0-255");
  EXPECT_EQ(on->text(), "255");

  auto* plc = static_cast<QLineEdit*>(d.control(ctl::plcAddress));
  auto* emulation = static_cast<QComboBox*>(d.control(ctl::emulationMode));
  emulation->setCurrentIndex(2);
  emit emulation->activated(2);
  ASSERT_TRUE(plc->isEnabled());
  pasteInto(plc, "4x00");
  EXPECT_EQ(plc->text(), "255");
  EXPECT_EQ(prompts.texts().back(), "PLC Address:400 is too high. Range is 0-255");

  // An empty PLC address cannot be left.
  plc->setFocus(Qt::MouseFocusReason);
  plc->clear();
  QTest::keyClick(plc, Qt::Key_Tab);
  ASSERT_TRUE(pumpUntil([&] { return prompts.texts().back() == "PLC Address needs a value."; }));
  EXPECT_TRUE(pumpUntil([&] { return plc->hasFocus(); }, 1000));

  auto* clock = static_cast<QCheckBox*>(d.control(ctl::usePCClock));
  clock->click();
  EXPECT_TRUE(d.control(ctl::setCurrentTime)->isEnabled());
}

TEST_F(DialogsWindowTest, DialogEditsShowAsSaveRadioWhenTheWindowIsActiveAgain) {
  start();
  window().start(dir);
  window().show();
  QApplication::setActiveWindow(&window());
  window().model().setRadioChanged(false);
  ModelEDialog& d = openModelE();
  static_cast<QPushButton*>(d.findChild<QPushButton*>(QStringLiteral("defaults")))->click();
  d.findChild<QPushButton*>(QStringLiteral("apply"))->click();
  EXPECT_FALSE(d.isVisible());
  QApplication::setActiveWindow(&window());
  ASSERT_TRUE(pumpUntil([&] { return window().isActiveWindow(); }, 1000));
  EXPECT_EQ(panel().text(ctl::newRadio), kSaveRadioCaption);
}

}  // namespace
}  // namespace tessel::testing

namespace tessel::testing {
namespace {

TEST_F(DialogsWindowTest, EscapeInTheFieldTheDialogOpensWithKeepsThatFieldsText) {
  start();
  window().start(dir);
  // The first open loads the project's values; these are committed after.
  BlockedFrequencyDialog& d = openBlocked();
  panel().blockedValues[0] = "915.7";
  panel().blockedValues[1] = "903.0";
  // Entered another field before, so a stale remembered text would show.
  d.field(1)->setFocus(Qt::MouseFocusReason);
  d.hide();
  d.open();
  QApplication::setActiveWindow(&d);
  d.field(0)->setFocus(Qt::ActiveWindowFocusReason);
  QTest::keyClick(d.field(0), Qt::Key_Backspace);
  QTest::keyClick(d.field(0), Qt::Key_Escape);
  EXPECT_EQ(d.field(0)->text(), "915.7");
}

}  // namespace
}  // namespace tessel::testing
