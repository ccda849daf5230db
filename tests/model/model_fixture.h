#pragma once

// A main window below the GUI on the in-memory panel and views, with a
// scripted message box, a task recorder and a project file in a temporary
// directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "model/brand.h"
#include "model/ini_file.h"
#include "model/main_window_model.h"
#include "model/panel.h"
#include "model/project.h"
#include "model/radio.h"
#include "model/register_values.h"
#include "platform/files.h"
#include "prompt_script.h"

namespace tessel {

// Answers from a script; with none left, OK when offered, else the lowest
// button.
class ScriptedPrompts : public testing::PromptScript {
 public:
  ScriptedPrompts() { preference = {pbOk, pbCancel, pbYes, pbNo, pbAbort, pbRetry, pbIgnore}; }
};

struct StartedTask {
  TaskCode code;
  std::string text;
  TpollArray list;
};

class TaskRecorder : public LinkTasks {
 public:
  TaskStart StartTask(TaskCode code, const std::string& text, const TpollArray& list) override {
    tasks.push_back({code, text, list});
    return answer;
  }
  SendStart StartSend(const std::string& title, const TpollArray& list,
                      const std::vector<std::string>& lines) override {
    StartTask(tkSendValues, title, list);
    if (answer == TaskStart::Started) sent.insert(sent.end(), lines.begin(), lines.end());
    return answer;
  }
  std::vector<StartedTask> tasks;
  // The lines of the sends taken.
  std::vector<std::string> sent;
  // What the engine answers every task.
  TaskStart answer = TaskStart::Started;
};

class ModelTest : public ::testing::Test {
 protected:
  ModelTest()
      : panel(entries()), window(panel, views, prompts, kBrandModels0, "Tessel"), values(window) {
    window.tasks = &tasks;
    window.clock = [] {
      std::tm t{};
      t.tm_hour = 13;
      t.tm_min = 19;
      t.tm_sec = 5;
      return t;
    };
  }

  static std::vector<std::string> entries() {
    return {"Vireo E", "Vireo Version 2", "Vireo Version 1"};
  }

  void SetUp() override {
    dir = platform::makeTempFolder("records_test.");
    ASSERT_FALSE(dir.empty());
    path = dir + "/group.vro";
  }

  void TearDown() override {
    window.closeProject();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    ASSERT_FALSE(ec) << ec.message();
  }

  void put(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
  std::string get() const {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // What the file holds now, read by a fresh reader.
  std::string key(const std::string& section, const std::string& k,
                  const std::string& def = "<absent>") const {
    return IniFile(path).readString(section, k, def);
  }

  // Opens the project file and its radios, in the given mode.
  void open(int mode) {
    window.openProject(path);
    window.loadProjectRadios();
    window.switchMode(mode);
  }

  // Replies as the engine hands them over.
  void reply(int param, const std::string& text) {
    int v = 0;
    parseInt32(text, v);
    values.ApplyReply(param, v, text);
  }

  MemoryPanel panel;
  MemoryGroupViews views;
  ScriptedPrompts prompts;
  TaskRecorder tasks;
  MainWindowModel window;
  RegisterValues values;
  std::string dir;
  std::string path;
};

}  // namespace tessel
