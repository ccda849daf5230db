// What the project file sees of opening, closing and reading radios: nothing
// for a project only looked at, one write per reply and per radio's batch.
#include <sys/stat.h>
#include <functional>

#include "model_fixture.h"

namespace tessel {
namespace {

using ProjectWritesTest = ModelTest;
using namespace std::string_literals;

struct FileId {
  ino_t inode = 0;
  bool operator==(const FileId& o) const { return inode == o.inode; }
};
// Every write replaces the file, so a new inode means a write happened.
FileId fileId(const std::string& path) {
  struct stat st {};
  FileId id;
  if (::stat(path.c_str(), &st) == 0) id.inode = st.st_ino;
  return id;
}

TEST_F(ProjectWritesTest, OpeningAndClosingWritesNothing) {
  const std::string files[] = {
      "",
      "[Project]\r\nGroup ID=5\r\n[Radio3]\r\nRadio Name=A\r\n",
      "\x7f"
      "ELF\x02\x01\r\n\xff\xfe"s +
          "\0\0\r\n[x"s,
      "[Radio1]\nRadio Mode=Master\n",
      // Choices read from texts the program would not write itself.
      "[Project]\nReTXBroadcasts=Noaster\nRepeaters=YES\n[Radio1]\nRadio Mode=Master\n",
      "[Project]\nReTXBroadcasts=yes\nRepeaters=no\nGroup ID= 007 \n",
  };
  for (int mode : {wmProject, wmMonitor, wmManual}) {
    for (const std::string& content : files) {
      put(content);
      const FileId before = fileId(path);
      open(mode);
      window.closeProject();
      EXPECT_EQ(get(), content) << "mode " << mode;
      EXPECT_TRUE(fileId(path) == before) << "mode " << mode;
    }
  }
}

TEST_F(ProjectWritesTest, ClosingWritesOnlyWhatChangedInTheFilesLineEnds) {
  put("[Project]\r\nGroup ID=5\r\n\r\n[Radio3]\r\nRadio Name=A\r\n");
  open(wmProject);
  panel.setText(ctl::groupID, "9");
  window.closeProject();
  EXPECT_EQ(get(), "[Project]\r\nGroup ID=9\r\n\r\n[Radio3]\r\nRadio Name=A\r\n");
}

TEST_F(ProjectWritesTest, TheKeysOfOneRadioAreOneWrite) {
  put("[Project]\nGroup ID=5\n");
  open(wmMonitor);
  const std::string before = get();
  values.beginReplies();
  reply(1, "7");  // a radio seen for the first time: ID and name
  reply(13, "10");
  EXPECT_EQ(get(), before) << "nothing reaches the file before the radio's end";
  values.endReplies();
  EXPECT_EQ(key("Radio7", "Radio Name"), "Radio 007");
  EXPECT_EQ(key("Radio7", "Retries"), "10");
  values.endReplies();  // a second end is harmless

  // The end of a radio's read, or of the task, ends its batch as well.
  const std::pair<const char*, std::function<void()>> ends[] = {
      {"read to its end", [this] { values.setRead(7, true); }},
      {"task given up", [this] { values.taskCancelled(7); }},
      {"read done", [this] { values.readDone(); }},
  };
  int code = 0;
  for (const auto& end : ends) {
    const std::string stored = key("Radio7", "Retries");
    values.beginReplies();
    reply(13, std::to_string(20 + code));
    EXPECT_EQ(key("Radio7", "Retries"), stored) << end.first;
    end.second();
    EXPECT_EQ(key("Radio7", "Retries"), std::to_string(20 + code)) << end.first;
    ++code;
  }

  // A project closed while a batch is open keeps what the batch gathered.
  values.beginReplies();
  reply(1, "8");
  window.closeProject();
  EXPECT_EQ(key("Radio8", "Radio Name"), "Radio 008");
  values.endReplies();
  put("[Project]\nGroup ID=5\n");
  open(wmMonitor);
  reply(1, "9");  // outside a batch, each reply is written at once
  EXPECT_EQ(key("Radio9", "Radio ID"), "9");
}

TEST_F(ProjectWritesTest, UnreadableLinesAreReportedOnceEach) {
  std::string text = "[Radio\0 1]\nRadio ID=1\n"s;
  for (int i = 0; i < Tproject::kUnreadableShown + 2; ++i) text += "junk\n";
  put(text);
  open(wmProject);
  const std::vector<std::string> report = window.project()->unreadableReport();
  ASSERT_EQ(report.size(), static_cast<size_t>(Tproject::kUnreadableShown + 1));
  EXPECT_EQ(report[0], path + " line 1 holds a NUL byte; it is not read");
  EXPECT_EQ(report[1], path + " line 3 has no \"=\"; it is not read");
  EXPECT_EQ(report.back(), path + ": 3 more lines cannot be read");
  EXPECT_EQ(window.project()->radioCount(), 0);
}

}  // namespace
}  // namespace tessel
