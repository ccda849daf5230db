// The parameter panel as real widgets: names, captions, hints and accessible
// names; keys, pastes and drops reaching the entry rules; leaving a field;
// the controls each mode and view shows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "model/main_window_model.h"
#include "prompt_script.h"
#include "ui/parameter_panel.h"

namespace tessel {
namespace {

class PanelWidgetTest : public ::testing::Test {
 protected:
  PanelWidgetTest() {
    prompts.preference = {pbOk, pbCancel, pbYes, pbNo};
    panel.setModel(&window);
  }

  template <class T>
  T* find(const char* name) {
    T* w = panel.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QLineEdit* edit(const char* name) { return find<QLineEdit>(name); }

  // Every field holds a value, so leaving one on the way refuses nothing.
  void showActive() {
    for (const std::string* f : {&ctl::groupID, &ctl::securityID, &ctl::flushTime, &ctl::rfband,
                                 &ctl::radioID, &ctl::retries, &ctl::masterID, &ctl::radioName}) {
      panel.setText(*f, "1");
    }
    panel.setText(ctl::baudRate, "  9600");
    panel.show();
    panel.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
  }
  // Runs what the panel left for the event loop (the exit rules).
  static void settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  void focus(QWidget* w) {
    w->setFocus(Qt::MouseFocusReason);
    settle();
    ASSERT_EQ(QApplication::focusWidget(), w);
  }

  ParameterPanel panel{kBrandModels0};
  MemoryGroupViews views;
  testing::PromptScript prompts;
  MainWindowModel window{panel, views, prompts, kBrandModels0, "Tessel"};
};

TEST_F(PanelWidgetTest, FieldsCarryTheirNamesCaptionsAndHints) {
  struct Case {
    const char* field;
    const char* label;
    const char* caption;
    const char* hint;
  };
  const Case cases[] = {
      {"groupID", "lGroupID", "Group ID",
       "All radios must have the same group ID to communicate. Range 1 to 63."},
      {"securityID", "lSecurityID", "Security ID",
       "Each group of radios must be assigned a unique security ID code. Range 0 to 65534"},
      {"flushTime", "lFlushTime", "Flush Time",
       "Period of time (in seconds) the network table is to be kept before flushing. Range 0 to "
       "6553"},
      {"rfband", "lRFband", "RF Band", "All radios must use the same frequency band. Range 1 to 4"},
      {"radioID", "lRadioID", "Radio ID",
       "Each radio within a group must have a unique ID. Range 0-254"},
      {"retries", "lRetries", "Retries",
       "Number of retries before a frame is discarded. Range 0 to 255"},
      {"radioName", "lRadioName", "Radio Name", ""},
      {"baudRate", "lBitRate", "Baud rate", "Serial port baud rate."},
      {"radioMode", nullptr, "Radio Mode", "Operating mode of Radio."},
      {"roaming", nullptr, "Roaming",
       "Enable to allow Slave radio to acquire any Master/Repeater radio."},
      {"reTXBroadcasts", nullptr, "ReTX Broadcasts",
       "Set to Yes for Master to retransmit broadcasted packets."},
      {"repeaters", nullptr, "Repeaters",
       "Set to Yes if there are any repeaters in the radio group."},
      {"protocol", nullptr, "Auto-Routing", "Serial port protocol to enable auto-routing."},
      {"bufferMode", nullptr, "Buffer Mode", "The radio buffers data as characters or packets"},
      {"dataBits", nullptr, "Data Bits", "The number of data bits per character"},
      {"stopBits", nullptr, "Stop Bits", "Serial stop bits per character"},
      {"parity", nullptr, "Parity", "Parity of the characters sent and received"},
      {"handShaking", nullptr, "Handshaking", "Use RTS-CTS handshaking"},
      {"radioType", nullptr, "Radio Model", ""},
  };
  for (const Case& c : cases) {
    QWidget* field = find<QWidget>(c.field);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->accessibleName(), QLatin1String(c.caption)) << c.field;
    EXPECT_EQ(field->toolTip(), QLatin1String(c.hint)) << c.field;
    // The caption on screen is the field's buddy label.
    QLabel* label = nullptr;
    for (QLabel* l : panel.findChildren<QLabel*>()) {
      if (l->buddy() == field) label = l;
    }
    ASSERT_NE(label, nullptr) << c.field;
    EXPECT_EQ(label->text(), QLatin1String(c.caption)) << c.field;
    if (c.label) {
      EXPECT_EQ(label->objectName(), QLatin1String(c.label));
    }
  }
}

TEST_F(PanelWidgetTest, ButtonsBoxesAndEntries) {
  struct Button {
    const char* name;
    const char* caption;
    const char* spoken;
    const char* hint;
  };
  const Button buttons[] = {
      {"defaults", "Defaults", "Defaults", "Sets factory defaults in all parameters"},
      {"ok", "Set Radio", "Set Radio", "Sends the parameters to the Radio"},
      {"advanced", "Advanced", "Advanced", "Show the minimum set necessary, or all parameters"},
      {"newRadio", "New &Radio", "New Radio", ""},
      {"Blocked", "Blocked MHz", "Blocked MHz", "Edit frequencies to avoid in the ISM band"},
  };
  for (const Button& b : buttons) {
    QPushButton* w = find<QPushButton>(b.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->text(), QLatin1String(b.caption));
    EXPECT_EQ(w->accessibleName(), QLatin1String(b.spoken));
    EXPECT_EQ(w->toolTip(), QLatin1String(b.hint));
  }
  // A caption that carries state is read out as it changes.
  window.setPanelView(PanelView::Advanced);
  EXPECT_EQ(find<QPushButton>("advanced")->accessibleName(), "Basic");

  EXPECT_EQ(find<QGroupBox>("configParms")->title(), "Radio Configuration Parameters");
  EXPECT_EQ(find<QGroupBox>("groupParms")->title(), "Group Parameters");
  EXPECT_EQ(find<QGroupBox>("radioParameters")->title(), "Radio Parameters");

  using Entries = std::vector<std::string>;
  EXPECT_EQ(panel.items(ctl::rfband), (Entries{"1", "2", "3", "4"}));
  EXPECT_EQ(panel.items(ctl::baudRate), (Entries{"    300", "    600", "  1200", "  2400", "  4800",
                                                 "  9600", "19200", "38400"}));
  EXPECT_EQ(panel.items(ctl::roaming), (Entries{"Allowed", "Master ID"}));
  EXPECT_EQ(panel.items(ctl::radioType),
            (Entries{"Vireo E", "Vireo Version 2", "Vireo Version 1"}));
  ParameterPanel luma(kBrandModels1);
  EXPECT_EQ(luma.items(ctl::radioType), (Entries{"LUMA-MB", "LUMA-M"}));

  // Nothing the user can reach goes without a name for screen readers.
  for (QWidget* w : panel.findChildren<QWidget*>()) {
    if (w->focusPolicy() == Qt::NoFocus || w->window() != &panel) continue;
    if (qobject_cast<QLineEdit*>(w) && qobject_cast<QComboBox*>(w->parentWidget())) continue;
    EXPECT_FALSE(w->accessibleName().isEmpty())
        << w->objectName().toStdString() << " " << w->metaObject()->className();
  }
}

TEST_F(PanelWidgetTest, TypingIsFilteredAndChecked) {
  showActive();
  QLineEdit* group = edit("groupID");
  focus(group);
  group->clear();
  QTest::keyClicks(group, "6");
  EXPECT_TRUE(prompts.shown.empty());
  QTest::keyClicks(group, "x4");
  EXPECT_EQ(group->text(), "64");
  EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Group ID:64 is too high. Range is 1-63"});
  EXPECT_FALSE(panel.entriesValid);
  QTest::keyClick(group, Qt::Key_Backspace);
  EXPECT_TRUE(panel.entriesValid);

  // The editable lists take digits only, from the keyboard as well.
  auto* band = find<QComboBox>("rfband");
  focus(band);
  band->clearEditText();
  QTest::keyClicks(band, "x3");
  EXPECT_EQ(band->currentText(), "3");

  // Any key in the radio name.
  QLineEdit* name = edit("radioName");
  focus(name);
  name->clear();
  QTest::keyClicks(name, "Pump 7!");
  EXPECT_EQ(name->text(), "Pump 7!");
}

TEST_F(PanelWidgetTest, EscapeRestoresTheTextOnEntering) {
  showActive();
  panel.setText(ctl::securityID, "12");
  QLineEdit* security = edit("securityID");
  focus(security);
  QTest::keyClicks(security, "34");
  EXPECT_EQ(security->text(), "1234");
  QTest::keyClick(security, Qt::Key_Escape);
  EXPECT_EQ(security->text(), "12");
}

TEST_F(PanelWidgetTest, PastedAndDroppedTextIsFilteredAndChecked) {
  showActive();
  QLineEdit* group = edit("groupID");
  focus(group);
  group->clear();
  QApplication::clipboard()->setText("1a2");
  QTest::keySequence(group, QKeySequence::Paste);
  EXPECT_EQ(group->text(), "12");
  EXPECT_TRUE(prompts.shown.empty());

  group->clear();
  QApplication::clipboard()->setText("9x9");
  QTest::keySequence(group, QKeySequence::Paste);
  EXPECT_EQ(group->text(), "99");
  EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Group ID:99 is too high. Range is 1-63"});

  QLineEdit* retries = edit("retries");
  retries->clear();
  QMimeData mime;
  mime.setText("2b5-6");
  // A drop as the desktop delivers it: enter, move, drop.
  QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(retries, &enter);
  QDragMoveEvent move(QPoint(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(retries, &move);
  QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(retries, &drop);
  EXPECT_EQ(retries->text(), "256");
  EXPECT_EQ(prompts.texts().back(), "Retries:256 is too high. Range is 0-255");
}

TEST_F(PanelWidgetTest, LeavingAnEmptyFieldBringsTheFocusBack) {
  showActive();
  QLineEdit* retries = edit("retries");
  panel.setText(ctl::retries, "50");
  window.setPanelView(PanelView::Advanced);
  panel.layOut(wmManual);
  focus(retries);
  QTest::keyClick(retries, Qt::Key_Backspace);
  QTest::keyClick(retries, Qt::Key_Backspace);
  QTest::keyClick(retries, Qt::Key_Tab);
  settle();
  EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Retries needs a value."});
  EXPECT_EQ(retries->text(), "1");
  EXPECT_EQ(QApplication::focusWidget(), retries);
  EXPECT_FALSE(panel.entriesValid);

  // Master ID gets "0" and the focus goes on.
  prompts.shown.clear();
  panel.setItemIndex(ctl::roaming, 1);
  panel.setEnabled(ctl::masterID, true);
  QLineEdit* master = edit("masterID");
  panel.setText(ctl::masterID, "");
  focus(master);
  QTest::keyClick(master, Qt::Key_Tab);
  settle();
  EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Master ID needs a value."});
  EXPECT_EQ(master->text(), "0");
  EXPECT_NE(QApplication::focusWidget(), master);
}

// Focus going to a menu, the menu bar or another window does not leave the
// field: a first start's Group ID of "0" asks nothing when a menu is opened.
TEST_F(PanelWidgetTest, OpeningAMenuDoesNotLeaveTheField) {
  showActive();
  QLineEdit* group = edit("groupID");
  focus(group);
  panel.setText(ctl::groupID, "0");
  for (Qt::FocusReason reason :
       {Qt::MenuBarFocusReason, Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
    QFocusEvent out(QEvent::FocusOut, reason);
    QApplication::sendEvent(group, &out);
    settle();
    EXPECT_TRUE(prompts.shown.empty()) << reason << ": " << prompts.texts().front();
  }
  // Leaving for another field does run the check.
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(group, &out);
  settle();
  EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Group ID:0 is too low. Range is 1-63"});
}

TEST_F(PanelWidgetTest, TwoRefusingFieldsDoNotTakeTheFocusFromEachOther) {
  showActive();
  window.setPanelView(PanelView::Advanced);
  window.switchMode(wmProject);
  QLineEdit* name = edit("radioName");
  auto* band = find<QComboBox>("rfband");
  focus(name);
  name->clear();
  band->clearEditText();
  band->setFocus(Qt::MouseFocusReason);
  for (int i = 0; i < 10; ++i) settle();
  EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Radio Name needs a value."});
  EXPECT_EQ(QApplication::focusWidget(), name);
}

TEST_F(PanelWidgetTest, ControlsOfEachModeAndView) {
  struct Case {
    int mode;
    const std::string& caption;  // of the Basic/Advanced button before the switch
    bool advancedView;
    bool nameShown;
    bool newRadioShown;
    bool buttonShown;
    bool buttonEnabled;
  };
  const Case cases[] = {
      {wmManual, kAdvancedCaption, false, false, false, true, true},
      {wmManual, kBasicCaption, true, false, false, true, true},
      {wmProject, kAdvancedCaption, false, true, true, false, true},
      {wmProject, kBasicCaption, true, true, true, false, true},
      {wmMonitor, kAdvancedCaption, false, true, true, true, false},
      {wmMonitor, kBasicCaption, true, true, true, true, false},
  };
  const std::string* advanced[] = {
      &ctl::securityID,  &ctl::retries,  &ctl::rfband,     &ctl::flushTime,      &ctl::roaming,
      &ctl::masterID,    &ctl::baudRate, &ctl::dataBits,   &ctl::stopBits,       &ctl::parity,
      &ctl::handShaking, &ctl::protocol, &ctl::bufferMode, &ctl::reTXBroadcasts, &ctl::repeaters};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mode) + " " + c.caption);
    window.setPanelView(panelViewFromFormMode(c.caption));
    panel.setEnabled(ctl::advanced, true);
    EXPECT_EQ(panel.advancedView(), c.advancedView);
    window.switchMode(c.mode);
    for (const std::string* name : advanced)
      EXPECT_EQ(panel.visible(*name), c.advancedView) << *name;
    EXPECT_EQ(find<QLabel>("lSecurityID")->isVisibleTo(&panel), c.advancedView);
    for (const std::string* name :
         {&ctl::groupID, &ctl::radioID, &ctl::radioMode, &ctl::defaults, &ctl::ok}) {
      EXPECT_TRUE(panel.visible(*name)) << *name;
    }
    EXPECT_EQ(panel.visible(ctl::radioName), c.nameShown);
    EXPECT_EQ(find<QLabel>("lRadioName")->isVisibleTo(&panel), c.nameShown);
    EXPECT_EQ(panel.visible(ctl::newRadio), c.newRadioShown);
    EXPECT_EQ(panel.visible(ctl::advanced), c.buttonShown);
    EXPECT_EQ(panel.enabled(ctl::advanced), c.buttonEnabled);
    if (c.mode == wmMonitor) {
      EXPECT_EQ(panel.text(ctl::advanced), kCancelCaption);
    }
  }

  // The button switches the view in place.
  window.setPanelView(PanelView::Basic);
  window.switchMode(wmManual);
  QTest::mouseClick(find<QPushButton>("advanced"), Qt::LeftButton);
  EXPECT_EQ(panel.text(ctl::advanced), kBasicCaption);
  EXPECT_TRUE(panel.visible(ctl::securityID));
  QTest::mouseClick(find<QPushButton>("advanced"), Qt::LeftButton);
  EXPECT_FALSE(panel.visible(ctl::securityID));
}

TEST_F(PanelWidgetTest, SelectorsAndButtonsReachTheRules) {
  showActive();
  window.setPanelView(PanelView::Advanced);
  window.switchMode(wmProject);
  // A selector chosen by the user applies the Save Radio rule; one the
  // program sets does not.
  panel.setItemIndex(ctl::dataBits, 0);
  EXPECT_EQ(panel.text(ctl::newRadio), kNewRadioCaption);
  auto* dataBits = find<QComboBox>("dataBits");
  focus(dataBits);
  QTest::keyClick(dataBits, Qt::Key_Down);
  EXPECT_EQ(panel.text(ctl::dataBits), "8");
  EXPECT_EQ(panel.text(ctl::newRadio), kSaveRadioCaption);

  QTest::mouseClick(find<QPushButton>("defaults"), Qt::LeftButton);
  EXPECT_EQ(panel.text(ctl::radioID), "1");
  EXPECT_EQ(panel.text(ctl::radioMode), "Slave");
  EXPECT_EQ(panel.text(ctl::baudRate), "  9600");

  QSignalSpy setRadio(&panel, &ParameterPanel::setRadioClicked);
  QSignalSpy blocked(&panel, &ParameterPanel::blockedClicked);
  QTest::mouseClick(find<QPushButton>("ok"), Qt::LeftButton);
  QTest::mouseClick(find<QPushButton>("Blocked"), Qt::LeftButton);
  EXPECT_EQ(setRadio.count(), 1);
  EXPECT_EQ(blocked.count(), 1);
}

TEST_F(PanelWidgetTest, PanelSeamOnWidgets) {
  // Lists select the entry that reads so; an editable one shows any text.
  panel.setText(ctl::baudRate, "  9600");
  EXPECT_EQ(panel.itemIndex(ctl::baudRate), 5);
  panel.setText(ctl::baudRate, "14400");
  EXPECT_EQ(panel.itemIndex(ctl::baudRate), -1);
  EXPECT_EQ(panel.text(ctl::baudRate), "14400");
  panel.setItemIndex(ctl::parity, 1);
  panel.setItemIndex(ctl::parity, 3);  // beyond the entries: no change
  EXPECT_EQ(panel.text(ctl::parity), "Odd");
  panel.setItemIndex(ctl::parity, -1);
  EXPECT_EQ(panel.itemIndex(ctl::parity), -1);

  // Enabled is the control's own setting, busy shows the hourglass.
  window.enableRadioParameters(false);
  EXPECT_FALSE(panel.enabled(ctl::radioID));
  EXPECT_FALSE(panel.enabled(ctl::ok));
  EXPECT_TRUE(panel.enabled(ctl::groupID));
  EXPECT_EQ(find<QGroupBox>("radioParameters")->cursor().shape(), Qt::WaitCursor);
  window.enableRadioParameters(true);
  EXPECT_TRUE(panel.enabled(ctl::radioID));
  EXPECT_EQ(find<QGroupBox>("radioParameters")->cursor().shape(), Qt::ArrowCursor);

  // The model-E values live on without a widget here, and the window hears
  // of each write.
  QSignalSpy outside(&panel, &ParameterPanel::outsideControlChanged);
  window.modelEDefaults();
  EXPECT_EQ(panel.text(ctl::plcAddress), "0");
  EXPECT_EQ(panel.text(ctl::startTime), "06:00");
  EXPECT_TRUE(panel.checked(ctl::usePCClock));
  EXPECT_FALSE(panel.enabled(ctl::setCurrentTime));
  EXPECT_GE(outside.count(), 8);
}

TEST_F(PanelWidgetTest, ControlsOfOtherWindowsCanBeAttached) {
  window.modelEDefaults();
  panel.setItemIndex(ctl::sleepMode, 2);
  panel.setEnabled(ctl::plcAddress, false);
  QWidget dialog;
  auto* address = new QLineEdit(&dialog);
  auto* clock = new QCheckBox(&dialog);
  auto* sleep = new QComboBox(&dialog);
  panel.attachControl(ctl::plcAddress, address);
  panel.attachControl(ctl::usePCClock, clock);
  panel.attachControl(ctl::sleepMode, sleep);
  // They take over what was kept...
  EXPECT_EQ(address->text(), "0");
  EXPECT_FALSE(address->isEnabled());
  EXPECT_TRUE(clock->isChecked());
  EXPECT_EQ(sleep->count(), 3);
  EXPECT_EQ(sleep->currentIndex(), 2);
  // ...and the rules reach them from then on.
  panel.setText(ctl::plcAddress, "17");
  EXPECT_EQ(address->text(), "17");
  clock->setChecked(false);
  window.usePCClockChange();
  EXPECT_TRUE(panel.enabled(ctl::setCurrentTime));
  // The panel's own controls stay its own.
  QLineEdit other;
  panel.attachControl(ctl::groupID, &other);
  EXPECT_EQ(panel.control(ctl::groupID), find<QLineEdit>("groupID"));
  // A window that goes away takes nothing down with it.
  delete address;
  EXPECT_EQ(panel.control(ctl::plcAddress), nullptr);
  panel.setText(ctl::plcAddress, "5");
  EXPECT_EQ(panel.text(ctl::plcAddress), "5");
}

TEST_F(PanelWidgetTest, LargerFontKeepsTheButtonsInside) {
  window.setPanelView(PanelView::Advanced);
  window.switchMode(wmMonitor);
  const QSize normal = panel.minimumSizeHint();
  QFont big = panel.font();
  big.setPointSizeF(big.pointSizeF() * 2);
  panel.setFont(big);
  const QSize large = panel.minimumSizeHint();
  EXPECT_GT(large.height(), normal.height());
  panel.resize(large);
  panel.show();
  QApplication::processEvents();
  for (const char* name : {"defaults", "ok", "advanced", "newRadio"}) {
    QPushButton* b = find<QPushButton>(name);
    const QRect r(b->mapTo(&panel, QPoint(0, 0)), b->size());
    EXPECT_TRUE(panel.rect().contains(r)) << name;
    EXPECT_GE(b->width(), b->fontMetrics().horizontalAdvance(b->text().remove('&'))) << name;
  }
}

}  // namespace
}  // namespace tessel
