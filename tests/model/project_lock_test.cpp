// One program at a time has a project open for writing: the window's
// commands refuse a project another program holds and keep the one open
// before; the project's own lock goes with it.
#include <unistd.h>

#include <filesystem>

#include "model/project_lock.h"
#include "model_fixture.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

class ProjectLockTest : public ModelTest {
 protected:
  std::string told(const std::string& file) const {
    return file + " is open in " + program_invocation_short_name + " (process " +
           std::to_string(::getpid()) + ")";
  }
};

TEST_F(ProjectLockTest, AProjectAnotherProgramHoldsIsRefusedAndTheOpenOneStays) {
  const std::string text = "[Project]\nGroup ID=9\n[Radio3]\nRadio ID=3\n";
  put(text);
  const std::string mine = dir + "/mine.vro";
  const std::string fallback = dir + "/Manual Configuration.vro";
  std::ofstream(mine) << "[Radio5]\nRadio ID=5\n";
  ASSERT_TRUE(window.openChosenProject(mine, false, fallback));

  // Another program (a lock of its own here) has the project open.
  ProjectLock other;
  std::string error;
  ASSERT_TRUE(other.take(path, error)) << error;
  for (const bool create : {false, true}) {
    prompts.shown.clear();
    EXPECT_FALSE(window.openChosenProject(path, create, fallback));
    ASSERT_EQ(prompts.texts(), (std::vector<std::string>{told(path) + "; close it there first"}));
    EXPECT_EQ(window.project()->fileName(), mine);
    EXPECT_EQ(panel.WindowMode, wmProject);
    EXPECT_NE(window.project()->radio(5), nullptr);
    EXPECT_EQ(get(), text) << "a refused New Project replaces nothing";
  }
  // By another name (a symbolic link) it is the same project.
  const std::string link = dir + "/link.vro";
  fs::create_symlink(path, link);
  EXPECT_FALSE(window.openOwnProject(link, error));
  EXPECT_EQ(error, told(link) + "; close it there first");

  // The default project another window has open opens read only, with a
  // word: what is changed here does not reach the file.
  prompts.shown.clear();
  window.openProject(path);
  EXPECT_EQ(prompts.texts(),
            (std::vector<std::string>{told(path) + "; changes made here are not stored"}));
  EXPECT_TRUE(window.project()->readOnly());
  EXPECT_TRUE(window.project()->writeKey("Project", "Group ID", "12"));
  window.closeProject();
  EXPECT_EQ(get(), text);

  // Let go, it opens; opened again here, it keeps its lock; closed, it is
  // free and its lock file is gone.
  other.release();
  ASSERT_TRUE(window.openChosenProject(path, false, fallback));
  ASSERT_TRUE(window.openChosenProject(path, false, fallback));
  EXPECT_FALSE(window.project()->readOnly());
  EXPECT_FALSE(other.take(path, error));
  EXPECT_EQ(error, told(path));
  window.closeProject();
  EXPECT_FALSE(fs::exists(dir + "/.group.vro.lock"));
  EXPECT_TRUE(other.take(path, error));
  other.release();
  EXPECT_FALSE(fs::exists(dir + "/.group.vro.lock"));
}

}  // namespace
}  // namespace tessel
