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
  const std::string home = t.path("home");
  struct Case {
    const char* what;
    std::string exe, xdg, expected;
  } cases[] = {
      {"build tree", t.path("build/tessel-cli"), "", t.path("build")},
      // Installed: a bin folder is shared, even where this user (root) may write it.
      {"installed", t.path("prefix/bin/tessel-cli"), "", home + "/.local/share/Tessel"},
      {"installed, XDG", t.path("prefix/bin/tessel-cli"), "/xdg/data", "/xdg/data/Tessel"},
      {"folder not writable", "/nonexistent/folder/tessel-cli", "", home + "/.local/share/Tessel"},
      {"relative XDG ignored", "/nonexistent/folder/tessel-cli", "xdg",
       home + "/.local/share/Tessel"},
      {"exe unknown", "", "", home + "/.local/share/Tessel"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(dataDirectory("Tessel", c.exe, c.xdg, home), c.expected) << c.what;
}

}  // namespace
}  // namespace testing
}  // namespace tessel
