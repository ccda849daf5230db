// The recent project list as New and Load leave it.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "memory_settings_store.h"
#include "model/recent_files.h"

namespace tessel {
namespace {

using List = std::map<std::string, std::string>;

TEST(RecentFiles, ChosenFileBecomesFile1AsTheShiftingRuleSays) {
  struct Case {
    const char* what;
    List before;
    const char* chosen;
    List after;
  };
  const Case cases[] = {
      {"an empty list", {}, "/p/a.vro", {{"file1", "/p/a.vro"}}},
      {"the file already first changes nothing else",
       {{"file1", "a"}, {"file2", "b"}, {"file3", "c"}, {"file4", "d"}},
       "a",
       {{"file1", "a"}, {"file2", "b"}, {"file3", "c"}, {"file4", "d"}}},
      {"a file stored as file3 stands twice after the shift",
       {{"file1", "a"}, {"file2", "b"}, {"file3", "c"}, {"file4", "d"}},
       "c",
       {{"file1", "c"}, {"file2", "a"}, {"file3", "b"}, {"file4", "c"}}},
      {"the oldest falls off",
       {{"file1", "a"}, {"file2", "b"}, {"file3", "c"}, {"file4", "d"}},
       "e",
       {{"file1", "e"}, {"file2", "a"}, {"file3", "b"}, {"file4", "c"}}},
      {"an empty source does not move",
       {{"file1", "a"}, {"file2", ""}, {"file3", "c"}},
       "e",
       {{"file1", "e"}, {"file2", "a"}, {"file3", "c"}, {"file4", "c"}}},
      {"the comparison is case-sensitive",
       {{"file1", "/p/A.vro"}},
       "/p/a.vro",
       {{"file1", "/p/a.vro"}, {"file2", "/p/A.vro"}}},
  };
  for (const Case& c : cases) {
    testing::MemorySettingsStore s;
    s.strings = c.before;
    EXPECT_TRUE(pushRecentFile(s, c.chosen)) << c.what;
    EXPECT_EQ(s.strings, c.after) << c.what;
  }
}

}  // namespace
}  // namespace tessel
