// The platform layer's files, the same on every system: a replace is whole
// or not at all, a lock has one holder that others can name, and file names
// are UTF-8 text.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/atomic_write.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/process.h"

namespace tessel::platform {
namespace {

namespace fs = std::filesystem;

class PlatformFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = makeTempFolder("platform-test-");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(pathFromUtf8(dir_), ec);
  }
  std::string file(const std::string& name) const { return pathInFolder(dir_, name); }
  std::vector<std::string> names() const {
    std::vector<std::string> all;
    for (const auto& e : fs::directory_iterator(pathFromUtf8(dir_)))
      all.push_back(utf8FromPath(e.path().filename()));
    return all;
  }
  static std::string read(const std::string& path) {
    std::string text;
    EXPECT_EQ(readWholeFile(path, text), 0) << path;
    return text;
  }

  std::string dir_;
};

TEST_F(PlatformFiles, AReplaceIsWholeOrLeavesTheOldFileAndNoLeftover) {
  // A name beyond ASCII, as a user in the field names a project.
  const std::string name = "B\xC3\xBChl \xE2\x80\x93 Gruppe.vro";
  const std::string path = file(name);
  std::string error;
  ASSERT_TRUE(replaceFileAtomically(path, "[Project]\nGroup ID=7\n", error)) << error;
  ASSERT_TRUE(replaceFileAtomically(path, "[Project]\nGroup ID=9\n", error)) << error;
  EXPECT_EQ(read(path), "[Project]\nGroup ID=9\n");
  EXPECT_EQ(names(), std::vector<std::string>{name}) << "the system shows the name as given";

  // A writer that fails half-way leaves the file as it was, and nothing else.
  const bool done = replaceFileAtomically(
      path,
      [](const DataSink& put) {
        put("[Project]\nGroup", 16);
        return false;
      },
      error);
  EXPECT_FALSE(done);
  EXPECT_NE(error.find("(writing)"), std::string::npos) << error;
  EXPECT_EQ(read(path), "[Project]\nGroup ID=9\n");
  EXPECT_EQ(names(), std::vector<std::string>{name});

  // A folder is no file to replace.
  EXPECT_FALSE(replaceFileAtomically(dir_, "x", error));
  EXPECT_NE(error.find("checking the file"), std::string::npos) << error;

  std::string missing;
  EXPECT_EQ(readWholeFile(file("absent.vro"), missing), ENOENT);
}

TEST_F(PlatformFiles, TheLeftoverOfAWriterThatDiedGoesAndOthersStay) {
  const std::string path = file("group.vro");
  std::ofstream(pathFromUtf8(path)) << "x";
  const std::string dead = "group.vro.tmp2147483600_3";  // no process has that ID
  const std::string mine = "group.vro.tmp" + std::to_string(currentProcessId()) + "_4";
  const std::string foreign = "group.vro.tmpnotes";
  for (const std::string& n : {dead, mine, foreign}) std::ofstream(pathFromUtf8(file(n))) << "y";
  ASSERT_FALSE(processRuns(2147483600));
  ASSERT_TRUE(processRuns(currentProcessId()));
  removeDeadWritersFiles(path);
  std::vector<std::string> left = names(), kept = {"group.vro", foreign, mine};
  std::sort(left.begin(), left.end());
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(left, kept);
}

TEST_F(PlatformFiles, ALockHasOneHolderThatTheOthersCanNameAndItsFileGoesWithIt) {
  const std::string lockFile = file(".group.vro.lock");
  FileLock first, second;
  std::string holder;
  ASSERT_EQ(first.take(lockFile, holder), FileLock::Outcome::taken);
  EXPECT_TRUE(first.held());
  EXPECT_EQ(first.path(), lockFile);

  EXPECT_EQ(second.take(lockFile, holder), FileLock::Outcome::heldElsewhere);
  EXPECT_FALSE(second.held());
  EXPECT_EQ(holder, programName() + " (process " + std::to_string(currentProcessId()) + ")");

  // Moved, it stays held; let go, its file is gone and the next one takes it.
  FileLock moved = std::move(first);
  EXPECT_FALSE(first.held());
  EXPECT_EQ(second.take(lockFile, holder), FileLock::Outcome::heldElsewhere);
  moved.release();
  EXPECT_FALSE(fs::exists(pathFromUtf8(lockFile)));
  EXPECT_EQ(second.take(lockFile, holder), FileLock::Outcome::taken);
  second.release();

  // Where no lock file can be made there is nothing to lock.
  EXPECT_EQ(second.take(file("no-such-folder/.x.lock"), holder), FileLock::Outcome::unavailable);
}

TEST_F(PlatformFiles, NamesSplitAndJoinAsTheSystemWritesThem) {
  struct Case {
    std::string path, folder, base;
  } cases[] = {
      {"/tmp/x/group.vro", "/tmp/x", "group.vro"},
      {"group.vro", ".", "group.vro"},
      {"/group.vro", "/", "group.vro"},
#ifdef _WIN32
      {"C:\\Users\\a\\group.vro", "C:\\Users\\a", "group.vro"},
      {"C:\\group.vro", "C:\\", "group.vro"},
      {"C:group.vro", "C:", "group.vro"},
      {"Z:\\tmp/x\\group.vro", "Z:\\tmp/x", "group.vro"},
#endif
  };
  for (const Case& c : cases) {
    EXPECT_EQ(folderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(baseNameOf(c.path), c.base) << c.path;
  }
  EXPECT_EQ(pathInFolder("/tmp/x", "a.vro"), "/tmp/x/a.vro");
  EXPECT_EQ(pathInFolder("/tmp/x/", "a.vro"), "/tmp/x/a.vro");

  // Every name of a file resolves to one absolute name; a missing one to none.
  const std::string path = file("real.vro");
  std::ofstream(pathFromUtf8(path)) << "x";
  const std::string real = realPath(path);
  EXPECT_TRUE(pathFromUtf8(real).is_absolute()) << real;
  EXPECT_EQ(realPath(pathInFolder(pathInFolder(dir_, "."), "real.vro")), real);
  EXPECT_EQ(realPath(file("absent.vro")), "");
}

TEST_F(PlatformFiles, WriteAccessTellsFilesAndFoldersApart) {
  const std::string path = file("w.vro");
  std::ofstream(pathFromUtf8(path)) << "x";
  EXPECT_EQ(writeAccess(path), 0);
  EXPECT_EQ(writeAccess(dir_), 0);
  EXPECT_EQ(writeAccess(file("absent.vro")), ENOENT);
  EXPECT_EQ(names(), std::vector<std::string>{"w.vro"}) << "asking leaves nothing behind";
  const std::string other = makeTempFolder("platform-test-");
  EXPECT_NE(other, dir_);
  EXPECT_TRUE(fs::is_directory(pathFromUtf8(other)));
  fs::remove_all(pathFromUtf8(other));
}

}  // namespace
}  // namespace tessel::platform
