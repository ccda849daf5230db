#include <gtest/gtest.h>

#include "model/data_dir.h"
#include "temp_tree.h"

namespace tessel {
namespace testing {
namespace {

TEST(DataDirectory, BesideAProgramInItsOwnFolderElsePerUser) {
  TempTree t;
  t.dir("build");
  t.dir("prefix/bin");
  const std::string data = t.path("home/.local/share");
  struct Case {
    const char* what;
    std::string exe, expected;
  } cases[] = {
      {"build tree", t.path("build/tessel-cli"), t.path("build")},
      // Installed: a bin folder is shared, even where this user (root) may write it.
      {"installed", t.path("prefix/bin/tessel-cli"), data + "/Tessel"},
      {"folder not writable", "/nonexistent/folder/tessel-cli", data + "/Tessel"},
      {"exe unknown", "", data + "/Tessel"},
  };
  for (const Case& c : cases) EXPECT_EQ(dataDirectory("Tessel", c.exe, data), c.expected) << c.what;
}

}  // namespace
}  // namespace testing
}  // namespace tessel
