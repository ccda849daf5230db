// The traffic log's own failures and limits.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/log_writer.h"
#include "memory_settings_store.h"

namespace tessel::testing {
namespace {

namespace fs = std::filesystem;

class LogWriterLimits : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tessel-log-limits-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::vector<std::string> lines(const std::string& file) const {
    std::ifstream in(file);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
  }
  fs::path dir;
  std::chrono::system_clock::time_point now = std::chrono::system_clock::now();
};

TEST_F(LogWriterLimits, AFolderThatCannotHoldTheLogIsReportedOnce) {
  std::ofstream(dir / "plain") << "x";
  struct Case {
    fs::path logPath;
    const char* says;
  };
  const Case cases[] = {
      {dir / "plain", "is not a folder"},
      {dir / "plain" / "below", "cannot create the log folder"},
  };
  for (const Case& c : cases) {
    MemorySettingsStore settings;
    settings.strings["LogPath"] = c.logPath.string();
    LogWriter log(&settings, dir.string());
    std::vector<std::string> reported;
    log.onError = [&](const std::string& e) { reported.push_back(e); };
    EXPECT_FALSE(log.ready());
    EXPECT_FALSE(log.write('i', 1, "a"));
    EXPECT_FALSE(log.write('i', 2, "b"));
    ASSERT_EQ(reported.size(), 1u) << c.logPath;
    EXPECT_NE(reported[0].find(c.says), std::string::npos) << reported[0];
    EXPECT_NE(reported[0].find(c.logPath.string()), std::string::npos) << reported[0];
    EXPECT_EQ(log.lastError(), reported[0]);
  }
  // A missing folder is made, and a log that works says nothing.
  MemorySettingsStore settings;
  settings.strings["LogPath"] = (dir / "new" / "logs").string();
  LogWriter log(&settings, "/nonexistent");
  bool told = false;
  log.onError = [&](const std::string&) { told = true; };
  EXPECT_TRUE(log.ready());
  EXPECT_TRUE(log.write('i', 1, "a"));
  EXPECT_FALSE(told);
}

TEST_F(LogWriterLimits, ADaysFileStopsAtTheLimitWithALastLineSayingSo) {
  MemorySettingsStore settings;
  EXPECT_EQ(LogWriter(&settings, dir.string()).limitBytes(), 256u << 20) << "the default";
  settings.integers["LogLimitMB"] = 1;
  EXPECT_EQ(LogWriter(&settings, dir.string()).limitBytes(), 1u << 20);

  const auto at = now;
  LogWriter log(nullptr, dir.string(), [&] { return now; });
  log.setLimitBytes(2000);
  const std::string text(90, 'x');
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(log.write('P', i, text));
  const std::string file = log.currentFile();
  EXPECT_LE(fs::file_size(file), 2000u);
  EXPECT_GT(fs::file_size(file), 1800u);
  auto l = lines(file);
  ASSERT_FALSE(l.empty());
  EXPECT_NE(l.back().find(LogWriter::limitLine(2000)), std::string::npos) << l.back();
  EXPECT_EQ(l.back().substr(25, 1), "e");

  // Another writer the same day does not start over, nor repeat the line.
  {
    LogWriter again(nullptr, dir.string(), [&] { return now; });
    again.setLimitBytes(2000);
    ASSERT_TRUE(again.write('P', 1, text));
  }
  EXPECT_EQ(lines(file), l);

  // The next day's file starts afresh.
  now = at + std::chrono::hours(24);
  ASSERT_TRUE(log.write('P', 1, "next day"));
  EXPECT_NE(log.currentFile(), file);
  EXPECT_EQ(lines(log.currentFile()).size(), 1u);
}

}  // namespace
}  // namespace tessel::testing
