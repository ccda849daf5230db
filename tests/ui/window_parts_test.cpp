// The Qt sides of the core's seams: the group views over tree widgets, the
// settings store over QSettings, the re-armed tick timer, and the program's
// path and command line.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QSettings>
#include <QThread>
#include <filesystem>
#include <fstream>

#include "app/program_path.h"
#include "ui/group_views_widget.h"
#include "ui/qt_seams.h"

namespace tessel::testing {
namespace {

TEST(WindowGroupViews, RowsKeepTheirRadioCaptionSubItemsAndImages) {
  QtGroupViews v;
  QTreeWidget* list = v.list();
  EXPECT_EQ(list->headerItem()->text(0), "Name");
  EXPECT_EQ(list->headerItem()->text(1), "ID");
  EXPECT_EQ(list->columnWidth(1), 30);
  EXPECT_GE(list->columnWidth(0), 100);
  EXPECT_TRUE(list->headerItem()->textAlignment(1) & Qt::AlignRight);

  auto* radioA = reinterpret_cast<Tradio*>(0x10);
  auto* radioB = reinterpret_cast<Tradio*>(0x20);
  RowId a = v.addRow(radioA);
  RowId b = v.addRow(radioB);
  EXPECT_EQ(v.rowCount(), 2);
  EXPECT_EQ(v.rowAt(1), b);
  EXPECT_EQ(v.rowAt(2), kNoRow);
  EXPECT_EQ(v.rowRadio(b), radioB);
  v.setCaption(a, "Pump");
  v.setSubItem(a, 0, "7");
  EXPECT_EQ(list->topLevelItem(0)->text(0), "Pump");
  EXPECT_EQ(list->topLevelItem(0)->text(1), "7");
  // A value far out lands in its own column, the ones before it empty.
  v.setSubItem(a, 3, "31.5");
  EXPECT_EQ(v.subItemCount(a), 4);
  EXPECT_EQ(v.subItem(a, 1), "");
  EXPECT_EQ(v.subItem(a, 3), "31.5");
  EXPECT_EQ(v.subItem(a, 4), "");
  EXPECT_EQ(v.subItemCount(b), 0);

  v.setImage(a, kImageMaster);
  v.setStateImage(a, 1);
  EXPECT_EQ(v.image(a), kImageMaster);
  EXPECT_EQ(v.stateImage(a), 1);
  EXPECT_FALSE(list->topLevelItem(0)->icon(0).isNull());
  EXPECT_TRUE(list->topLevelItem(1)->icon(0).isNull());
  v.selectRow(b);
  EXPECT_EQ(list->currentItem(), list->topLevelItem(1));

  v.deleteRow(a);
  EXPECT_EQ(v.rowCount(), 1);
  EXPECT_EQ(v.rowIndex(a), -1);
  EXPECT_EQ(v.rowIndex(b), 0);
  EXPECT_EQ(v.rowRadio(a), nullptr);
  // A stale handle changes nothing.
  v.setCaption(a, "gone");
  v.setImage(a, kImageSlave);
  EXPECT_EQ(v.caption(b), "");
  EXPECT_NE(v.addRow(radioA), a) << "handles are never reused";
}

TEST(WindowGroupViews, MonitorColumnsUseTheKeptWidths) {
  QtGroupViews v;
  v.columnWidths = {-1, -1, 44, 55, -1, 77};
  v.setMonitorColumns(true);
  QTreeWidget* list = v.list();
  ASSERT_EQ(list->columnCount(), 6);
  EXPECT_EQ(list->headerItem()->text(2), "RSSI");
  EXPECT_EQ(list->headerItem()->text(3), "V");
  EXPECT_EQ(list->headerItem()->text(4), QString::fromUtf8("\u00b0C"));
  EXPECT_EQ(list->headerItem()->text(5), "Last Poll");
  EXPECT_EQ(list->columnWidth(2), 44);
  EXPECT_EQ(list->columnWidth(5), 77);
  EXPECT_EQ(v.columnWidths[4], -1) << "fitting a column is no width of the user's";
  // Fitted before any value is in, a column still has room for the widest
  // value it shows: "°C" is narrower than "-40".
  const QFontMetrics fm(list->font());
  EXPECT_GT(list->columnWidth(4), fm.horizontalAdvance(QStringLiteral("-40")));
  // A user's resize is kept for the next start.
  list->header()->resizeSection(3, 66);
  EXPECT_EQ(v.columnWidths[3], 66);
  v.setMonitorColumns(false);
  EXPECT_EQ(list->columnCount(), 2);
  EXPECT_EQ(v.columnWidths[3], 66);

  // The RSSI column fitted to its text also holds the quality mark.
  QtGroupViews fitted;
  fitted.setMonitorColumns(true);
  EXPECT_GT(fitted.list()->columnWidth(2),
            fitted.list()->iconSize().width() + fm.horizontalAdvance(QStringLiteral("-100")));
}

TEST(WindowGroupViews, TreeNodesMoveWithTheirChildrenAndDeleteTogether) {
  QtGroupViews v;
  NodeId m1 = v.addNode(kNoNode, "Master B");
  NodeId m2 = v.addNode(kNoNode, "Master A");
  NodeId s1 = v.addNode(m1, "Slave 1");
  NodeId s2 = v.addNode(s1, "Slave 2");
  EXPECT_EQ(v.addNode(999, "orphan"), kNoNode);
  EXPECT_EQ(v.children(kNoNode).size(), 2u);
  EXPECT_EQ(v.nodeParent(s2), s1);
  EXPECT_EQ(v.nodeParent(m1), kNoNode);
  // Sorted by text.
  EXPECT_EQ(v.tree()->topLevelItem(0)->text(0), "Master A");

  v.moveNode(s1, m2);
  EXPECT_EQ(v.nodeParent(s1), m2);
  EXPECT_EQ(v.children(m2), std::vector<NodeId>{s1});
  EXPECT_TRUE(v.children(m1).empty());
  EXPECT_EQ(v.nodeParent(s2), s1) << "children travel along";
  // Never under its own child.
  v.moveNode(s1, s2);
  EXPECT_EQ(v.nodeParent(s1), m2);
  v.moveNode(s2, kNoNode);
  EXPECT_EQ(v.nodeParent(s2), kNoNode);
  v.moveNode(s2, s1);

  v.setNodeImage(s1, kImageReading);
  v.setNodeStateImage(s1, kImageSlave);
  EXPECT_EQ(v.nodeImage(s1), kImageReading);
  EXPECT_EQ(v.nodeStateImage(s1), kImageSlave);
  v.setNodeText(s1, "Pump");
  EXPECT_EQ(v.nodeText(s1), "Pump");
  v.expand(m2);
  EXPECT_TRUE(v.isExpanded(m2));

  v.deleteNode(m2);
  EXPECT_FALSE(v.nodeExists(m2));
  EXPECT_FALSE(v.nodeExists(s1));
  EXPECT_FALSE(v.nodeExists(s2));
  EXPECT_EQ(v.nodeImage(s1), kImageNone);
  EXPECT_TRUE(v.nodeExists(m1));
  v.clearTree();
  EXPECT_FALSE(v.nodeExists(m1));
  EXPECT_EQ(v.tree()->topLevelItemCount(), 0);
}

class WindowSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/window_settings.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir = tmpl;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir));
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string dir;
};

TEST_F(WindowSettingsStoreTest, ValuesLandInTheMakersProductFile) {
  QtSettingsStore store(QStringLiteral("Corvane"), QStringLiteral("Tessel"));
  EXPECT_FALSE(store.exists());
  std::string s;
  int n = 0;
  EXPECT_FALSE(store.readString("formMode", s));
  EXPECT_FALSE(store.readInteger("gpName", n));
  EXPECT_TRUE(store.writeString("Baud rate", "  9600"));
  EXPECT_TRUE(store.writeInteger("gpName", -1));
  EXPECT_TRUE(store.writeString("file1", "/x/R&D \"group\".vro"));
  EXPECT_TRUE(store.exists());
  EXPECT_EQ(store.fileName(), QString::fromStdString(dir + "/Corvane/Tessel.conf"));

  // A second store (the next start) reads what the first wrote.
  QtSettingsStore again(QStringLiteral("Corvane"), QStringLiteral("Tessel"));
  ASSERT_TRUE(again.readString("Baud rate", s));
  EXPECT_EQ(s, "  9600");
  ASSERT_TRUE(again.readInteger("gpName", n));
  EXPECT_EQ(n, -1);
  ASSERT_TRUE(again.readString("file1", s));
  EXPECT_EQ(s, "/x/R&D \"group\".vro");
  // Text that is no number fails as an integer.
  again.writeString("termWidth", "wide");
  EXPECT_FALSE(again.readInteger("termWidth", n));
}

TEST(WindowTickTimer, RearmsAfterEachTickAndStopsWhenTheHandlerStopsIt) {
  QtTickTimer t;
  int ticks = 0;
  t.setInterval(5);
  t.setHandler([&] {
    if (++ticks == 3) t.stop();
  });
  EXPECT_FALSE(t.isActive());
  t.start();
  EXPECT_TRUE(t.isActive());
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 300) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  EXPECT_EQ(ticks, 3);
  EXPECT_FALSE(t.isActive());
}

TEST(WindowTickTimer, ATickWithinATickDoesNotHappen) {
  QtTickTimer t;
  int depth = 0, deepest = 0, ticks = 0;
  t.setInterval(1);
  t.setHandler([&] {
    ++ticks;
    deepest = std::max(deepest, ++depth);
    // A modal box runs the event loop inside the handler.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    --depth;
    if (ticks == 2) t.stop();
  });
  t.start();
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 200) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(deepest, 1);
}

TEST(WindowProgramPath, AbsoluteAsStartedWithoutFollowingLinks) {
  char tmpl[] = "/tmp/window_path.XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  std::ofstream(dir + "/tessel") << "#!/bin/sh\n";
  ::chmod((dir + "/tessel").c_str(), 0755);
  ASSERT_EQ(::symlink("tessel", (dir + "/lumalink").c_str()), 0);
  struct Case {
    const char* argv0;
    std::string cwd, path, expected;
  };
  for (const Case& c : {Case{"/opt/x/tessel", "/home", "", "/opt/x/tessel"},
                        Case{"./lumalink", dir, "", dir + "/./lumalink"},
                        Case{"build/tessel", "/work", "", "/work/build/tessel"},
                        Case{"lumalink", "/home", "/nowhere:" + dir, dir + "/lumalink"},
                        Case{"tessel", "/home", "/nowhere", "/home/tessel"}}) {
    SCOPED_TRACE(c.argv0);
    EXPECT_EQ(programPath(c.argv0, c.cwd, c.path), c.expected);
  }
  EXPECT_EQ(programPath(nullptr, "/x", ""), "");
  std::filesystem::remove_all(dir);
}

TEST(WindowProgramPath, EmulateOnlyAsTheFirstArgumentInAnyCase) {
  struct Case {
    std::vector<std::string> args;
    bool emulate;
  };
  for (const Case& c :
       {Case{{"tessel"}, false}, Case{{"tessel", "-emulate"}, true},
        Case{{"tessel", "--EMULATE"}, true}, Case{{"tessel", "/x", "-emulate"}, false},
        Case{{"tessel", "emulate"}, false}}) {
    std::vector<char*> argv;
    for (const std::string& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
    EXPECT_EQ(emulateRequested(static_cast<int>(argv.size()), argv.data()), c.emulate)
        << c.args.back();
  }
}

}  // namespace
}  // namespace tessel::testing
