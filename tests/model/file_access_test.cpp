#include "model/file_access.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace tessel {
namespace {

namespace fs = std::filesystem;

class FileAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/file_access_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    ::chmod(dir_.c_str(), 0777);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_ + "/locked", fs::perms::owner_all, ec);
    fs::remove_all(dir_);
  }
  // The answer for path as an unprivileged user would get it: root may
  // write anything, so the check runs in a child that gave root up.
  bool asUser(const std::string& path, std::string& error) {
    if (::geteuid() != 0) return canRewriteFile(path, error);
    int pipe[2];
    if (::pipe(pipe) != 0) return false;
    pid_t pid = ::fork();
    if (pid == 0) {
      ::close(pipe[0]);
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
      std::string e;
      bool ok = canRewriteFile(path, e);
      (void)!::write(pipe[1], e.data(), e.size());
      ::_exit(ok ? 0 : 1);
    }
    ::close(pipe[1]);
    char buf[512];
    ssize_t n;
    error.clear();
    while ((n = ::read(pipe[0], buf, sizeof buf)) > 0) error.append(buf, static_cast<size_t>(n));
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not give up root";
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  std::string dir_;
};

TEST_F(FileAccess, RefusesWhatCannotBeReplaced) {
  const std::string open = dir_ + "/open.vro";
  std::ofstream(open) << "[Project]\n";
  ::chmod(open.c_str(), 0666);
  const std::string readOnly = dir_ + "/read-only.vro";
  std::ofstream(readOnly) << "[Project]\n";
  ::chmod(readOnly.c_str(), 0444);
  fs::create_directory(dir_ + "/locked");
  const std::string inLocked = dir_ + "/locked/p.vro";
  std::ofstream(inLocked) << "[Project]\n";
  ::chmod(inLocked.c_str(), 0666);
  ::chmod((dir_ + "/locked").c_str(), 0555);
  fs::create_directory(dir_ + "/folder.vro");

  std::string error;
  EXPECT_FALSE(canRewriteFile(dir_ + "/folder.vro", error));
  EXPECT_EQ(error, "cannot write " + dir_ + "/folder.vro: not a regular file");
  EXPECT_FALSE(canRewriteFile(dir_ + "/no-such-folder/p.vro", error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  EXPECT_TRUE(canRewriteFile(dir_ + "/new.vro", error)) << error;

  struct Case {
    std::string path;
    bool writable;
  } cases[] = {{open, true}, {readOnly, false}, {inLocked, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(asUser(c.path, error), c.writable) << c.path << ": " << error;
    if (!c.writable) EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace tessel
