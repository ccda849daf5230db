#include "model/ini_file.h"

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

namespace tessel {
namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/ini_file_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    path_ = dir_ + "/project.vro";
  }
  void TearDown() override {
    ::chmod(dir_.c_str(), 0755);
    std::string cmd = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }

  void put(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string get() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::vector<std::string> dirEntries() const {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir_.c_str());
    while (dirent* e = ::readdir(d))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
        names.push_back(e->d_name);
    ::closedir(d);
    return names;
  }

  std::string dir_;
  std::string path_;
};

TEST_F(IniFileTest, WritesReachTheFileAtOnce) {
  IniFile ini(path_);
  EXPECT_EQ(ini.readString("Project", "Group ID", "0"), "0");  // no file yet
  struct Step {
    const char* section;
    const char* key;
    const char* value;
    const char* readBack;
  };
  const Step steps[] = {
      {"Project", "Group ID", "7", "7"},         // new file, new section
      {"Project", "Security ID", "12", "12"},    // new key
      {"Radio3", "Radio ID", "3", "3"},          // second section
      {"Project", "RF Band", "2", "2"},          // new key in a section that is not the last
      {"project", "GROUP ID", "9", "9"},         // replaced in place, other case
      {"Radio3", "Baud rate", "   300", "300"},  // blanks written as they stand
  };
  for (const Step& s : steps) {
    ASSERT_TRUE(ini.writeString(s.section, s.key, s.value)) << ini.lastError();
    EXPECT_EQ(IniFile(path_).readString(s.section, s.key, "?"), s.readBack) << s.key;
  }
  EXPECT_EQ(get(),
            "[Project]\nGroup ID=9\nSecurity ID=12\nRF Band=2\n"
            "[Radio3]\nRadio ID=3\nBaud rate=   300\n");
  IniFile fresh(path_);
  EXPECT_EQ(fresh.sectionNames(), (std::vector<std::string>{"Project", "Radio3"}));
  EXPECT_EQ(fresh.keyNames("PROJECT"),
            (std::vector<std::string>{"Group ID", "Security ID", "RF Band"}));
  EXPECT_TRUE(fresh.writeInteger("Radio3", "Data Bits", -8));
  EXPECT_EQ(IniFile(path_).readInteger("Radio3", "Data Bits", 0), -8);
}

TEST_F(IniFileTest, ReadsLfAndCrLfFilesAlike) {
  const std::string lines[] = {
      "; made by hand",
      "[Project]",
      "Group ID=5",
      "  Security ID \t=\t 300  ",
      "Note=a=b=c",
      "Empty=",
      "; Flush Time=99",
      "",
      "[ Radio7 ]",
      "Radio Name=Pump house",
      "Radio Name=second copy",
  };
  for (const char* eol : {"\n", "\r\n"}) {
    std::string text;
    for (const std::string& l : lines) text += l + eol;
    put(text);
    IniFile ini(path_);
    struct Case {
      const char* section;
      const char* key;
      const char* expected;
    };
    const Case cases[] = {
        {"Project", "Group ID", "5"},      {"PROJECT", "group id", "5"},
        {"Project", "Security ID", "300"}, {"Project", "Note", "a=b=c"},
        {"Project", "Empty", ""},          {"Project", "Flush Time", "dflt"},       // commented out
        {"Project", "Missing", "dflt"},    {"radio7", "RADIO NAME", "Pump house"},  // first of two
        {"Radio8", "Radio Name", "dflt"},
    };
    for (const Case& c : cases)
      EXPECT_EQ(ini.readString(c.section, c.key, "dflt"), c.expected)
          << "eol " << (eol[0] == '\r' ? "CRLF " : "LF ") << c.section << "/" << c.key;
    EXPECT_TRUE(ini.sectionExists("RADIO7"));
    EXPECT_FALSE(ini.sectionExists("Radio"));
    EXPECT_TRUE(ini.lastError().empty());
  }
}

TEST_F(IniFileTest, ReadInteger) {
  const std::pair<const char*, int> cases[] = {
      {"42", 42},  {" -7 ", -7}, {"+3", 3},    {"3x", -1},  {"", -1},   {"99999999999", -1},
      {"+-1", -1}, {"-", -1},    {"0x10", -1}, {"1 2", -1}, {"007", 7},
  };
  std::string text = "[S]\n";
  for (size_t i = 0; i < std::size(cases); ++i)
    text += "k" + std::to_string(i) + "=" + cases[i].first + "\n";
  put(text);
  IniFile ini(path_);
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(ini.readInteger("S", "k" + std::to_string(i), -1), cases[i].second)
        << '"' << cases[i].first << '"';
}

TEST_F(IniFileTest, KeepsCommentsBlankLinesAndLineEnds) {
  put("; project file\r\n\r\n[Project]\r\nGroup ID=5\r\n\r\n; radios follow\r\n"
      "[Radio1]\r\n  Radio ID = 1\r\n");
  IniFile ini(path_);
  ASSERT_TRUE(ini.writeString("Project", "Security ID", "4"));  // after the last key line
  ASSERT_TRUE(ini.writeString("Radio1", "radio id", "2"));      // replaced, file's spelling kept
  ASSERT_TRUE(ini.writeString("Radio2", "Radio ID", "2"));
  EXPECT_EQ(get(),
            "; project file\r\n\r\n[Project]\r\nGroup ID=5\r\nSecurity ID=4\r\n\r\n"
            "; radios follow\r\n[Radio1]\r\nRadio ID=2\r\n[Radio2]\r\nRadio ID=2\r\n");
}

TEST_F(IniFileTest, FileWithoutFinalLineEnd) {
  put("[Project]\nGroup ID=5");
  IniFile ini(path_);
  ASSERT_TRUE(ini.writeString("Project", "RF Band", "3"));
  EXPECT_EQ(get(), "[Project]\nGroup ID=5\nRF Band=3");
  EXPECT_EQ(IniFile(path_).readString("Project", "Group ID", ""), "5");
}

TEST_F(IniFileTest, DeleteKeyAndEraseSection) {
  put("[Project]\nGroup ID=5\n[Radio1]\nRadio ID=1\nEmulation Mode=x\nemulation mode=y\n"
      "; note\n\n[Radio2]\nRadio ID=2\n[RADIO1]\nRadio ID=11\n");
  IniFile ini(path_);
  ASSERT_TRUE(ini.deleteKey("radio1", "Emulation Mode"));
  EXPECT_EQ(IniFile(path_).readString("Radio1", "Emulation Mode", "gone"), "gone");
  ASSERT_TRUE(ini.eraseSection("Radio1"));
  EXPECT_EQ(get(), "[Project]\nGroup ID=5\n[Radio2]\nRadio ID=2\n");
  EXPECT_FALSE(IniFile(path_).sectionExists("Radio1"));

  // Nothing to remove: success without touching the file.
  struct stat before, after;
  ASSERT_EQ(::stat(path_.c_str(), &before), 0);
  EXPECT_TRUE(ini.deleteKey("Radio2", "Nope"));
  EXPECT_TRUE(ini.deleteKey("Radio9", "Radio ID"));
  EXPECT_TRUE(ini.eraseSection("Radio9"));
  ASSERT_EQ(::stat(path_.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(IniFileTest, LineBreaksCannotInjectSectionsOrKeys) {
  IniFile ini(path_);
  ASSERT_TRUE(ini.writeString("Project", "Group ID", "3"));
  ASSERT_TRUE(ini.writeString("Radio1", "Radio Name", "x\n[Project]\nGroup ID=5"));
  ASSERT_TRUE(ini.writeString("Radio1\r\nGroup ID=5", "Radio\nMode", "Slave\r"));
  IniFile fresh(path_);
  EXPECT_EQ(fresh.readString("Project", "Group ID", ""), "3");
  EXPECT_EQ(fresh.readString("Radio1", "Radio Name", ""), "x[Project]Group ID=5");
  EXPECT_EQ(fresh.readString("Radio1Group ID=5", "RadioMode", ""), "Slave");
  EXPECT_EQ(fresh.sectionNames(),
            (std::vector<std::string>{"Project", "Radio1", "Radio1Group ID=5"}));
}

TEST_F(IniFileTest, NamesThatCannotBeStoredAreRefused) {
  put("[Project]\nGroup ID=5\n");
  IniFile ini(path_);
  const std::pair<const char*, const char*> bad[] = {
      {"Project", "a=b"}, {"Project", "[x"}, {"Project", "; c"},
      {"Project", " "},   {"Pro]ject", "k"}, {"", "k"},
  };
  for (const auto& [section, key] : bad) {
    EXPECT_FALSE(ini.writeString(section, key, "1")) << section << "/" << key;
    EXPECT_FALSE(ini.lastError().empty());
  }
  EXPECT_EQ(get(), "[Project]\nGroup ID=5\n");
}

// Makes every file write beyond a few bytes fail with EFBIG, even for root.
class FileSizeLimit {
 public:
  FileSizeLimit() {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved_;
    small.rlim_cur = 8;
    ::setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit saved_;
  void (*oldHandler_)(int);
};

TEST_F(IniFileTest, FailedWriteLosesNothing) {
  const std::string original = "; keep\n[Project]\nGroup ID=5\n[Radio1]\nRadio ID=1\n";
  using Op = std::function<bool(IniFile&)>;
  const std::pair<const char*, Op> ops[] = {
      {"replace key", [](IniFile& f) { return f.writeString("Project", "Group ID", "6"); }},
      {"new key", [](IniFile& f) { return f.writeString("Project", "RF Band", "2"); }},
      {"new section", [](IniFile& f) { return f.writeString("Radio2", "Radio ID", "2"); }},
      {"delete key", [](IniFile& f) { return f.deleteKey("Radio1", "Radio ID"); }},
      {"erase section", [](IniFile& f) { return f.eraseSection("Radio1"); }},
  };
  for (const auto& [name, op] : ops) {
    put(original);
    IniFile ini(path_);
    bool ok;
    {
      FileSizeLimit limit;
      ok = op(ini);
    }
    EXPECT_FALSE(ok) << name;
    EXPECT_NE(ini.lastError().find(std::strerror(EFBIG)), std::string::npos) << ini.lastError();
    EXPECT_NE(ini.lastError().find(path_), std::string::npos) << ini.lastError();
    EXPECT_EQ(get(), original) << name;
    EXPECT_EQ(dirEntries(), std::vector<std::string>{"project.vro"}) << name << ": temp left";
    // Memory still matches the file: the next write carries no trace of the failed one.
    EXPECT_EQ(ini.readString("Project", "Group ID", ""), "5") << name;
    EXPECT_EQ(ini.readString("Radio1", "Radio ID", ""), "1") << name;
    EXPECT_FALSE(ini.sectionExists("Radio2")) << name;
    ASSERT_TRUE(ini.writeString("Project", "Security ID", "1")) << ini.lastError();
    EXPECT_EQ(get(), "; keep\n[Project]\nGroup ID=5\nSecurity ID=1\n[Radio1]\nRadio ID=1\n")
        << name;
    EXPECT_TRUE(ini.lastError().empty());
  }
}

TEST_F(IniFileTest, AnUpdateWritesTheFileOnceAtItsEnd) {
  put("[Project]\nGroup ID=5\n");
  IniFile ini(path_);
  ini.beginUpdate();
  ASSERT_TRUE(ini.writeString("Project", "Group ID", "6"));
  ASSERT_TRUE(ini.writeString("Radio1", "Radio ID", "1"));
  EXPECT_EQ(get(), "[Project]\nGroup ID=5\n") << "nothing written before the end";
  EXPECT_EQ(ini.readString("Radio1", "Radio ID", ""), "1");
  ASSERT_TRUE(ini.endUpdate()) << ini.lastError();
  EXPECT_EQ(get(), "[Project]\nGroup ID=6\n[Radio1]\nRadio ID=1\n");

  // A failed end leaves the file as it was and memory back in step with it.
  ini.beginUpdate();
  ASSERT_TRUE(ini.eraseSection("Radio1"));
  bool ok;
  {
    FileSizeLimit limit;
    ok = ini.endUpdate();
  }
  EXPECT_FALSE(ok);
  EXPECT_NE(ini.lastError().find(std::strerror(EFBIG)), std::string::npos) << ini.lastError();
  EXPECT_EQ(get(), "[Project]\nGroup ID=6\n[Radio1]\nRadio ID=1\n");
  EXPECT_TRUE(ini.sectionExists("Radio1"));
  EXPECT_EQ(dirEntries(), std::vector<std::string>{"project.vro"});
  // Back to write-through.
  ASSERT_TRUE(ini.writeString("Project", "RF Band", "2"));
  EXPECT_EQ(IniFile(path_).readString("Project", "RF Band", ""), "2");
}

TEST_F(IniFileTest, MissingDirectoryIsReported) {
  IniFile ini(dir_ + "/no/such/dir/p.vro");
  EXPECT_EQ(ini.readString("Project", "Group ID", "0"), "0");
  EXPECT_FALSE(ini.writeString("Project", "Group ID", "1"));
  EXPECT_NE(ini.lastError().find(std::strerror(ENOENT)), std::string::npos) << ini.lastError();
  EXPECT_FALSE(ini.sectionExists("Project"));
}

TEST_F(IniFileTest, UnreadableFileGivesDefaultsAndIsNotOverwritten) {
  // A directory in place of the file cannot be read, even by root.
  ASSERT_EQ(::mkdir(path_.c_str(), 0755), 0);
  IniFile ini(path_);
  EXPECT_EQ(ini.readString("Project", "RF Band", "1"), "1");
  EXPECT_NE(ini.lastError().find(std::strerror(EISDIR)), std::string::npos) << ini.lastError();
  EXPECT_FALSE(ini.writeString("Project", "RF Band", "2"));
  EXPECT_FALSE(ini.lastError().empty());
  struct stat st;
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

// Permission bits do not stop root, so when the tests run as root, body runs
// in a child that has become the unprivileged user owning the test directory.
// body returns what went wrong, empty when nothing did.
std::string asFileOwner(const std::string& dir, const std::function<std::string()>& body) {
  if (::geteuid() != 0) return body();
  const uid_t nobody = 65534;
  const std::string chown = "chown -R 65534:65534 '" + dir + "'";
  if (std::system(chown.c_str()) != 0) return "chown failed";
  int fds[2];
  if (::pipe(fds) != 0) return "pipe failed";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    std::string result = ::setgid(nobody) == 0 && ::setuid(nobody) == 0 ? body() : "setuid failed";
    (void)!::write(fds[1], result.data(), result.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string result;
  char buf[256];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) result.append(buf, n);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? result : "child crashed";
}

TEST_F(IniFileTest, ReadOnlyFileReportsTheFailureAndLosesNothing) {
  const std::string original = "[Project]\nGroup ID=5\n";
  struct Case {
    const char* name;
    mode_t dirMode;
  };
  // A writable directory alone must not let the file be replaced.
  for (const Case& c : {Case{"writable directory", 0755}, Case{"read-only directory", 0555}}) {
    put(original);
    ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
    const std::string failures = asFileOwner(dir_, [&]() -> std::string {
      std::string f;
      if (::chmod(dir_.c_str(), c.dirMode) != 0) return "chmod failed";
      IniFile ini(path_);
      if (ini.writeString("Project", "Group ID", "6")) f += "write reported success; ";
      if (ini.lastError().find(std::strerror(EACCES)) == std::string::npos)
        f += "error was \"" + ini.lastError() + "\"; ";
      if (ini.readString("Project", "Group ID", "") != "5") f += "memory changed; ";
      if (ini.deleteKey("Project", "Group ID")) f += "delete reported success; ";
      if (ini.sectionExists("Project") && ini.readString("Project", "Group ID", "") != "5")
        f += "memory changed by delete; ";
      ::chmod(dir_.c_str(), 0755);
      return f;
    });
    EXPECT_EQ(failures, "") << c.name;
    EXPECT_EQ(get(), original) << c.name;
    EXPECT_EQ(dirEntries(), std::vector<std::string>{"project.vro"}) << c.name << ": temp left";
  }
}

TEST_F(IniFileTest, KeepsPermissionsAndSymbolicLinks) {
  put("[Project]\nGroup ID=5\n");
  ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
  const std::string link = dir_ + "/link.vro";
  ASSERT_EQ(::symlink("project.vro", link.c_str()), 0);
  IniFile ini(link);
  ASSERT_TRUE(ini.writeString("Project", "Group ID", "6")) << ini.lastError();
  struct stat st;
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(get(), "[Project]\nGroup ID=6\n");
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

ino_t inodeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST_F(IniFileTest, EachLineKeepsItsOwnLineEnd) {
  // A file that mixes line ends, with bytes that are no text at all: what a
  // write does not touch comes back byte for byte.
  const std::string binary = std::string("\x01\xff\x7f", 3) + "x=1";
  put("[Project]\nGroup ID=5\r\n" + binary + "\r\n;c\n");
  IniFile ini(path_);
  ASSERT_TRUE(ini.writeString("Project", "Group ID", "6"));
  EXPECT_EQ(get(), "[Project]\nGroup ID=6\r\n" + binary + "\r\n;c\n");
  // New lines take the line end of the first line.
  put("[P]\r\na=1\nb=2");
  IniFile crlf(path_);
  ASSERT_TRUE(crlf.writeString("Q", "c", "3"));
  EXPECT_EQ(get(), "[P]\r\na=1\nb=2\r\n[Q]\r\nc=3");
}

TEST_F(IniFileTest, AWriteThatChangesNothingWritesNothing) {
  put("[Project]\r\nGroup ID= 007 \r\n");
  const ino_t before = inodeOf(path_);
  IniFile ini(path_);
  for (const char* same : {"007", " 007", "007  "}) {
    ASSERT_TRUE(ini.writeString("Project", "group id", same));
    EXPECT_EQ(inodeOf(path_), before) << '"' << same << '"';
  }
  ASSERT_TRUE(ini.deleteKey("Project", "Absent"));
  ASSERT_TRUE(ini.eraseSection("Absent"));
  EXPECT_EQ(inodeOf(path_), before);
  EXPECT_EQ(get(), "[Project]\r\nGroup ID= 007 \r\n");
  ASSERT_TRUE(ini.writeString("Project", "Group ID", "7"));
  EXPECT_EQ(get(), "[Project]\r\nGroup ID=7\r\n");
}

TEST_F(IniFileTest, UnreadableLinesAreListedWithTheirNumbers) {
  using namespace std::string_literals;
  put("[Project]\nGroup ID=5\n[Radio\0 7]\nRadio ID=7\n[Radio8\nloose text\n=3\n"s +
      "; fine\n\n[Radio9]\nRadio ID=9\n");
  IniFile ini(path_);
  const auto& bad = ini.unreadableLines();
  ASSERT_EQ(bad.size(), 4u);
  const std::pair<int, const char*> expected[] = {{3, "NUL"}, {5, "]"}, {6, "="}, {7, "="}};
  for (size_t i = 0; i < bad.size(); ++i) {
    EXPECT_EQ(bad[i].number, expected[i].first);
    EXPECT_NE(bad[i].reason.find(expected[i].second), std::string::npos) << bad[i].reason;
  }
  // The NUL header starts no section: its keys stay with the one before.
  EXPECT_FALSE(ini.sectionExists("Radio7"));
  EXPECT_TRUE(ini.sectionExists("Radio9"));
  // A NUL given to a write is dropped, so the line it writes stays readable.
  ASSERT_TRUE(ini.writeString("Radio9", "Radio ID", "9\0 9"s));
  EXPECT_EQ(IniFile(path_).readString("Radio9", "Radio ID", ""), "9 9");
  // Unreadable lines stay in the file as they were.
  ASSERT_TRUE(ini.writeString("Radio9", "Radio Name", "n"));
  EXPECT_NE(get().find("[Radio\0 7]\n"s), std::string::npos);
  EXPECT_TRUE(IniFile(path_).unreadableLines().size() == 4u);
}

TEST_F(IniFileTest, NestedUpdatesWriteOnceAtTheOutermostEnd) {
  IniFile ini(path_);
  ini.beginUpdate();
  ini.beginUpdate();
  ASSERT_TRUE(ini.writeString("Radio1", "Radio ID", "1"));
  ASSERT_TRUE(ini.endUpdate());
  EXPECT_EQ(get(), "") << "the inner end writes nothing";
  ASSERT_TRUE(ini.writeString("Radio1", "Radio Name", "a"));
  ASSERT_TRUE(ini.endUpdate());
  EXPECT_EQ(get(), "[Radio1]\nRadio ID=1\nRadio Name=a\n");
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

pid_t deadPid() {
  pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

TEST_F(IniFileTest, AWriterKilledInTheMiddleOfAWriteLeavesNoTemporaryFile) {
  put("[Project]\nGroup ID=5\n");
  // Large enough that most kills land inside a write.
  const std::string big(4 << 20, 'x');
  ino_t before = inodeOf(path_);
  for (int kill = 0; kill < 12; ++kill) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      IniFile ini(path_);
      for (int i = 0;; ++i) ini.writeString("Radio1", "Radio Name", big + std::to_string(i));
    }
    // Once the child's first write is in, it is always inside the next one:
    // kill it at a different point of that each time.
    for (int i = 0; i < 5000 && inodeOf(path_) == before; ++i) ::usleep(1000);
    ASSERT_NE(inodeOf(path_), before) << "the child never wrote";
    before = inodeOf(path_);
    ::usleep(static_cast<useconds_t>(kill * 2500));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(dirEntries(), std::vector<std::string>{"project.vro"}) << "kill " << kill;
    // Whatever the moment, the file is whole: old or new.
    IniFile after(path_);
    EXPECT_EQ(after.readString("Project", "Group ID", ""), "5");
  }
}

TEST_F(IniFileTest, OpeningRemovesTheLeftoversOfDeadWritersOnly) {
  put("[Project]\nGroup ID=5\n");
  const std::string dead = std::to_string(deadPid());
  const std::string live = std::to_string(::getppid());
  const std::vector<std::string> kept = {
      "other.vro.tmp" + dead + "_0",                          // another file's
      "project.vro.tmp" + live + "_3",                        // a writer that still runs
      "project.vro.tmp" + dead + "_x",                        // not a name we give
      "project.vro.tmp" + dead,                               //
      "project.vro.tmp" + std::to_string(::getpid()) + "_1",  // this process's own
  };
  for (const std::string& name : kept) std::ofstream(dir_ + "/" + name) << "x";
  std::ofstream(dir_ + "/project.vro.tmp" + dead + "_0") << "partial";
  std::ofstream(dir_ + "/project.vro.tmp" + dead + "_17") << "partial";
  IniFile ini(path_);
  std::vector<std::string> entries = dirEntries();
  std::sort(entries.begin(), entries.end());
  std::vector<std::string> expected = kept;
  expected.push_back("project.vro");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(entries, expected);
  EXPECT_EQ(ini.readString("Project", "Group ID", ""), "5");
}

}  // namespace
}  // namespace tessel
