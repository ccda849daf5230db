// The brand profile chosen from the program's path and the main window's
// per-user settings: read at start, written at close, window sizes by mode.
#include <gtest/gtest.h>

#include "memory_settings_store.h"
#include "model/brand_profile.h"
#include "model/window_settings.h"

namespace tessel::testing {
namespace {

TEST(BrandProfile, ChosenFromTheProgramPath) {
  struct Case {
    const char* path;
    int profile;
  };
  for (const Case& c : {Case{"/opt/tessel/tessel", 0}, Case{"/opt/LumaLink/bin/tessel", 1},
                        Case{"/home/u/build/lumalink", 1}, Case{"/x/LUMALINK.exe", 1},
                        Case{"/x/luma-link", 0}, Case{"/x/luma/link", 0}, Case{"", 0}}) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(brandIndexForPath(c.path), c.profile);
  }
  EXPECT_STREQ(brandProfile(1).productName, "LUMA-LINK");
  EXPECT_STREQ(brandProfile(1).maker, "Tarrow Controls");
  EXPECT_EQ(brandProfile(1).logoHeight, 37);
  EXPECT_EQ(brandProfile(0).logoHeight, 0);
  EXPECT_STREQ(brandProfile(7).productName, "Tessel");
}

TEST(BrandProfile, AboutTextHasTwoBlanksAfterTheComma) {
  EXPECT_EQ(aboutText(brandProfile(0)), "Tessel,  revision 1.00 on 2003/12/12 at 13:19");
  EXPECT_EQ(applicationTitle(brandProfile(1)), "LUMA-LINK Configurator");
}

TEST(StartSettings, NothingStoredGivesTheDefaultsAndCreatesTheKeyWithLogs) {
  MemorySettingsStore store;
  StartSettings s = loadStartSettings(store, "/opt/tessel");
  EXPECT_TRUE(store.exists());
  EXPECT_EQ(store.strings["logs"], "/opt/tessel/");
  EXPECT_EQ(s.advancedCaption, "Advanced");
  EXPECT_TRUE(s.recentFiles.empty());
  for (int w : s.columnWidths) EXPECT_EQ(w, -1);
}

TEST(StartSettings, EverythingStored) {
  MemorySettingsStore store;
  store.strings = {{"formMode", "&Basic"}, {"file1", "/a.vro"}, {"file2", "/b & c.vro"},
                   {"file3", "/c.vro"},    {"file4", "/d.vro"}, {"file5", "/e.vro"}};
  store.integers["gpName"] = 85;
  StartSettings s = loadStartSettings(store, "/opt/tessel/");
  EXPECT_EQ(store.strings["logs"], "/opt/tessel/");
  EXPECT_EQ(s.advancedCaption, "&Basic");
  EXPECT_EQ(s.recentFiles, (std::vector<std::string>{"/a.vro", "/b & c.vro", "/c.vro", "/d.vro"}));
  for (int w : s.columnWidths) EXPECT_EQ(w, 85);
}

TEST(StartSettings, TheRecentListEndsAtTheFirstEmptyOrAbsentFile) {
  MemorySettingsStore store;
  store.strings = {{"file1", "/a.vro"}, {"file2", ""}, {"file3", "/c.vro"}};
  EXPECT_EQ(loadStartSettings(store, "/x").recentFiles, std::vector<std::string>{"/a.vro"});
  store.strings = {{"file1", "/a.vro"}, {"file3", "/c.vro"}};
  EXPECT_EQ(loadStartSettings(store, "/x").recentFiles, std::vector<std::string>{"/a.vro"});
  // An empty formMode is no caption.
  store.strings["formMode"] = "";
  EXPECT_EQ(loadStartSettings(store, "/x").advancedCaption, "Advanced");
}

TEST(StartSettings, AColumnWidthStoredAsTextFailsTheBlock) {
  MemorySettingsStore store;
  store.strings["gpName"] = "85";
  for (int w : loadStartSettings(store, "/x").columnWidths) EXPECT_EQ(w, -1);
}

TEST(CloseSettings, WrittenInOrderWithTheLastColumnWidthRemaining) {
  MemorySettingsStore store;
  store.setExists(true);
  CloseSettings v;
  v.advancedCaption = "Cancel";
  v.windowWidth = 900;
  v.windowHeight = 600;
  v.terminalWidth = 700;
  v.terminalHeight = 300;
  v.groupTreeWidth = 150;
  v.columnWidths = {10, 20, 30, 40, 50, 60};
  saveCloseSettings(store, v);
  EXPECT_EQ(store.strings["formMode"], "&Basic");
  EXPECT_EQ(store.integers["projectW"], 900);
  EXPECT_EQ(store.integers["projectH"], 600);
  EXPECT_EQ(store.integers["termWidth"], 700);
  EXPECT_EQ(store.integers["termHeight"], 300);
  EXPECT_EQ(store.integers["discoveryAG"], 150);
  EXPECT_EQ(store.integers["gpName"], 60);
  EXPECT_EQ(store.integers.count("discoveryW"), 0u);
  EXPECT_EQ(store.integers.count("SplitterPos"), 0u);

  v.advancedCaption = "Advanced";
  saveCloseSettings(store, v);
  EXPECT_EQ(store.strings["formMode"], "Advanced");
}

TEST(CloseSettings, NothingIsWrittenWithoutTheKey) {
  MemorySettingsStore store;
  saveCloseSettings(store, CloseSettings{});
  EXPECT_FALSE(store.exists());
  EXPECT_TRUE(store.integers.empty());
}

TEST(ModeGeometry, ProjectMode) {
  MemorySettingsStore store;
  ModeGeometryInput in;
  in.mode = 2;
  in.currentWidth = 400;
  in.rememberedProjectWidth = 800;
  // Absent values: at least 575 wide, height left alone.
  ModeGeometry g = modeGeometry(store, in);
  EXPECT_EQ(g.width, 575);
  EXPECT_EQ(g.height, -1);
  in.currentWidth = 650;
  EXPECT_EQ(modeGeometry(store, in).width, 650);
  // A smaller stored width keeps the remembered one.
  store.integers = {{"projectW", 700}, {"projectH", 500}};
  g = modeGeometry(store, in);
  EXPECT_EQ(g.width, 800);
  EXPECT_EQ(g.height, 500);
  store.integers["projectW"] = 1000;
  EXPECT_EQ(modeGeometry(store, in).width, 1000);
  in.maximised = true;
  EXPECT_EQ(modeGeometry(store, in).width, -1);
  // Manual mode sizes itself to the panel.
  in.mode = 1;
  in.maximised = false;
  EXPECT_EQ(modeGeometry(store, in).width, -1);
}

TEST(ModeGeometry, MonitorMode) {
  MemorySettingsStore store;
  ModeGeometryInput in;
  in.mode = 3;
  in.currentWidth = 600;
  in.clientWidth = 1200;
  in.rememberedProjectWidth = 575;
  in.rememberedMonitorWidth = 750;
  in.rememberedGroupTreeWidth = 200;
  // No SplitterPos: at least 750 wide, the splitter not moved.
  ModeGeometry g = modeGeometry(store, in);
  EXPECT_EQ(g.width, 750);
  EXPECT_EQ(g.splitterLeft, -1);

  store.integers = {{"SplitterPos", 500}};
  g = modeGeometry(store, in);
  EXPECT_EQ(g.splitterLeft, 575);
  EXPECT_EQ(g.width, 750) << "discoveryW absent";
  EXPECT_EQ(g.height, -1);

  store.integers = {
      {"SplitterPos", 640}, {"discoveryW", 1100}, {"discoveryH", 700}, {"discoveryAG", 180}};
  g = modeGeometry(store, in);
  EXPECT_EQ(g.splitterLeft, 640);
  EXPECT_EQ(g.width, 1100);
  EXPECT_EQ(g.height, 700);
  EXPECT_EQ(g.groupTreeWidth, 180);

  in.maximised = true;
  g = modeGeometry(store, in);
  EXPECT_EQ(g.width, -1);
  EXPECT_EQ(g.groupTreeWidth, 200);
  EXPECT_EQ(g.splitterLeft, 1000);
}

TEST(TerminalSize, StoredValuesOrTheDefault) {
  MemorySettingsStore store;
  int w = kTerminalWidth, h = kTerminalHeight;
  loadTerminalSize(store, w, h);
  EXPECT_EQ(w, 729);
  EXPECT_EQ(h, 358);
  store.integers = {{"termWidth", 500}, {"termHeight", 0}};
  loadTerminalSize(store, w, h);
  EXPECT_EQ(w, 500);
  EXPECT_EQ(h, 358);
}

}  // namespace
}  // namespace tessel::testing
