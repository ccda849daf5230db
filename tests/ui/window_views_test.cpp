// The radio list's context menu and the Online Monitor menu in the window.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <fstream>

#include "model/group_commands.h"
#include "model/project.h"
#include "model/radio.h"

#include "window_fixture.h"

namespace tessel::testing {
namespace {

QStringList entries(const QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions())
    if (a->isVisible() && !a->isSeparator()) out << a->text();
  return out;
}

class ViewsTest : public WindowTest {
 protected:
  void TearDown() override {
    WindowTest::TearDown();
    if (line >= 0) ::close(line);
  }
  // Opens a project of three radios (1, 2, 3) through the recent files, with
  // COM1 on a pseudo-terminal: a monitor starts only on an open port.
  void openThree() {
    line = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(line, 0);
    ASSERT_EQ(::grantpt(line), 0);
    ASSERT_EQ(::unlockpt(line), 0);
    settings.strings["ComPort"] = "1";
    settings.strings["COM1"] = ::ptsname(line);
    settings.setExists(true);
    path = dir + "/g.vro";
    std::ofstream(path) << "[Project]\nGroup ID=9\n[Radio1]\nRadio Name=one\n[Radio2]\nRadio "
                           "Name=two\n[Radio3]\nRadio Name=three\n";
    settings.strings["file1"] = path;
    start();
    window().show();
    action("file1")->trigger();
    ASSERT_EQ(list()->topLevelItemCount(), 3);
  }
  QTreeWidget* list() { return window().views().list(); }
  QStringList names() {
    QStringList out;
    for (int i = 0; i < list()->topLevelItemCount(); ++i) out << list()->topLevelItem(i)->text(0);
    return out;
  }
  // A press of the given button on a row of the list (or below the last one).
  void press(int row, Qt::MouseButton button = Qt::LeftButton) {
    QPoint at;
    if (row < list()->topLevelItemCount()) {
      at = list()->visualItemRect(list()->topLevelItem(row)).center();
    } else {
      at = QPoint(10, list()->viewport()->height() - 3);
    }
    QTest::mousePress(list()->viewport(), button, {}, at);
    QTest::mouseRelease(list()->viewport(), button, {}, at);
    if (button == Qt::RightButton) window().prepareListMenu(at);
  }
  std::string path;
  int line = -1;  // the master side of COM1
};

TEST_F(ViewsTest, PollIntervalMenuHasEightItemsOneCheckedAndRemembersTheChoice) {
  start();
  QMenu* poll = window().findChild<QMenu*>(QStringLiteral("SetPollInterval"));
  ASSERT_NE(poll, nullptr);
  EXPECT_EQ(entries(poll),
            (QStringList{"1.0 Seconds", "1.5 Seconds", "2.0 Seconds", "2.5 Seconds", "3.0 Seconds",
                         "3.5 Seconds", "4.0 Seconds", "As Fast as Replies"}));
  auto checked = [&] {
    QStringList out;
    for (QAction* a : poll->actions())
      if (a->isChecked()) out << a->text();
    return out;
  };
  EXPECT_EQ(checked(), QStringList{"1.0 Seconds"});
  action("poll3500")->trigger();
  EXPECT_EQ(checked(), QStringList{"3.5 Seconds"});
  EXPECT_EQ(wiring->engine().pollInterval(), 3500);
  EXPECT_FALSE(wiring->engine().fastPolls());
  action("pollFast")->trigger();
  EXPECT_EQ(checked(), QStringList{"As Fast as Replies"});
  EXPECT_TRUE(wiring->engine().fastPolls());
  EXPECT_EQ(settings.integers["PollInterval"], 0);

  // The next start takes the choice up; a damaged value falls back to 1.0.
  wiring.reset();
  start();
  EXPECT_TRUE(action("pollFast")->isChecked());
  EXPECT_TRUE(wiring->engine().fastPolls());
  wiring.reset();
  settings.integers["PollInterval"] = 1700;
  start();
  EXPECT_TRUE(action("poll1000")->isChecked());
  EXPECT_EQ(wiring->engine().pollInterval(), 1000);
  EXPECT_FALSE(wiring->engine().fastPolls());
}

TEST_F(ViewsTest, ContextMenuDeleteBelowTheLastRowDeletesTheCurrentRadiosRow) {
  openThree();
  EXPECT_EQ(entries(window().listMenu()),
            (QStringList{"&Delete", "Get Radio Parameters", "Set Parameters", "&Reset",
                         "Signal History..."}));
  for (QAction* a : window().listMenu()->actions()) EXPECT_FALSE(a->text().isEmpty());
  press(2);
  ASSERT_EQ(panel().currentRadio->slotID, 3);
  press(99, Qt::RightButton);
  action("Delete1")->trigger();
  EXPECT_EQ(names(), (QStringList{"one", "two"}));
  ASSERT_NE(panel().currentRadio, nullptr);
  EXPECT_EQ(panel().currentRadio->slotID, 2);
  EXPECT_EQ(panel().text(ctl::radioName), "two");
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("[Radio3]"), std::string::npos) << text;
}

TEST_F(ViewsTest, DeletingEveryRadioClosesTheProjectWithoutAQuestion) {
  openThree();
  for (int i = 0; i < 3; ++i) {
    window().model().setRadioChanged(true);
    action("Delete1")->trigger();
  }
  EXPECT_EQ(list()->topLevelItemCount(), 0);
  // Only Delete's own question, never the one about saving the radio.
  ASSERT_EQ(prompts.shown.size(), 3u);
  for (const std::string& text : prompts.texts()) EXPECT_EQ(text.rfind("Delete radio ", 0), 0u);
  EXPECT_FALSE(action("projectClose")->isEnabled());
  EXPECT_EQ(panel().WindowMode, wmManual);
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("[Radio"), std::string::npos) << text;
}

TEST_F(ViewsTest, ExistingProjectShowsTheMonitorColumnsAndCancelLeavesThem) {
  openThree();
  action("discoverThis")->trigger();
  EXPECT_EQ(panel().WindowMode, wmMonitor);
  QStringList headers;
  for (int c = 0; c < list()->columnCount(); ++c) headers << list()->headerItem()->text(c);
  EXPECT_EQ(headers, (QStringList{"Name", "ID", "RSSI", "V", QStringLiteral("°C"), "Last Poll"}));
  EXPECT_TRUE(window().views().tree()->isVisibleTo(&window()));
  EXPECT_EQ(panel().text(ctl::advanced), "Cancel");
  window().model().advancedClick();
  EXPECT_EQ(panel().WindowMode, wmProject);
  EXPECT_EQ(list()->columnCount(), 2);
  EXPECT_FALSE(window().views().tree()->isVisibleTo(&window()));
}

TEST_F(ViewsTest, ExistingProjectOnTheDefaultProjectWithoutALoadedProjectStartsNothing) {
  start();
  // The Load dialog it opens is cancelled.
  QTimer::singleShot(0, [] {
    if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
      dialog->reject();
  });
  action("discoverThis")->trigger();
  EXPECT_EQ(panel().WindowMode, wmManual);
  EXPECT_EQ(list()->columnCount(), 2);
}

}  // namespace
}  // namespace tessel::testing

namespace tessel::testing {
namespace {

TEST_F(ViewsTest, RssiCellCarriesItsQualityMarkAndOtherCellsStayAsTheyAre) {
  openThree();
  action("discoverThis")->trigger();
  QtGroupViews& v = window().views();
  const RowId row = v.rowAt(0);
  QTreeWidgetItem* item = list()->topLevelItem(0);
  const struct {
    SignalQuality quality;
    const char* says;
  } cases[] = {{SignalQuality::Good, "signal good"},
               {SignalQuality::Fair, "signal fair"},
               {SignalQuality::Poor, "signal poor"},
               {SignalQuality::Unknown, ""}};
  for (const auto& c : cases) {
    v.setSignalQuality(row, c.quality);
    EXPECT_EQ(v.signalQualityText(row).toStdString(), c.says) << c.says;
    EXPECT_EQ(item->icon(2).isNull(), std::string(c.says).empty()) << c.says;
  }
  v.setSubItem(row, 2, "13.2");
  EXPECT_TRUE(item->icon(3).isNull());
  EXPECT_EQ(item->text(3), "13.2");
  // Another row's cells are untouched.
  EXPECT_TRUE(list()->topLevelItem(1)->text(2).isEmpty());
  EXPECT_TRUE(list()->topLevelItem(1)->icon(2).isNull());

  // A selected row's marks look as they do unselected: a good signal's
  // full dot does not turn into a ring like a poor one's.
  v.setSignalQuality(row, SignalQuality::Good);
  v.setImage(row, kImageMaster);
  for (int column : {0, 2}) {
    const QIcon icon = item->icon(column);
    const QSize size = column == 0 ? QSize(34, 16) : QSize(12, 12);
    EXPECT_EQ(icon.pixmap(size, QIcon::Selected).toImage(),
              icon.pixmap(size, QIcon::Normal).toImage())
        << column;
  }
}

// A monitor renews a radio's marks at every register it reads: a mark that
// does not change is no change to the list or the tree, which would paint
// (and draw the pictures) again each time.
TEST_F(ViewsTest, MarksThatDoNotChangeCauseNoRepaint) {
  openThree();
  action("discoverThis")->trigger();
  QtGroupViews& v = window().views();
  const RowId row = v.rowAt(0);
  const NodeId node = v.addNode(kNoNode, "Radio 001");
  auto mark = [&] {
    v.setNodeImage(node, kImageReading);
    v.setNodeStateImage(node, kImageMaster);
    v.setImage(row, kImageSlave);
    v.setStateImage(row, 1);
    v.setSignalQuality(row, SignalQuality::Fair);
  };
  mark();
  QSignalSpy listChanges(list()->model(), &QAbstractItemModel::dataChanged);
  QSignalSpy treeChanges(v.tree()->model(), &QAbstractItemModel::dataChanged);
  for (int i = 0; i < 50; ++i) mark();
  EXPECT_EQ(treeChanges.count(), 0);
  EXPECT_EQ(listChanges.count(), 0);
}

}  // namespace
}  // namespace tessel::testing
