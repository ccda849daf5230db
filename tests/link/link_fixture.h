#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "fake_serial_link.h"
#include "fake_tick_timer.h"
#include "link/com_port_view.h"
#include "link/status_bar.h"
#include "link/tcom_port.h"
#include "link/terminal_sink.h"
#include "memory_settings_store.h"
#include "model/main_window_link.h"
#include "prompt_script.h"

namespace tessel::testing {

// The engine's questions and notices, by name, as the recording below keeps
// them.
enum QueryCode : int {
  qcIsRead,
  qcSetRead,
  qcRenumbered,
  qcIsLocal,
  qcMarkLocal,
  qcIsMaster,
  qcCancel,
  qcExists,
  qcTaskDone,
};

// The main window's callbacks, answering from sets and recording calls.
class RecordingCallbacks : public MainWindowCallbacks {
 public:
  struct Apply {
    int param;
    int value;
    std::string text;
    bool operator==(const Apply& o) const {
      return param == o.param && value == o.value && text == o.text;
    }
  };
  struct Query {
    int radio;
    int code;
    bool argument;
  };

  bool isLocal(int radio) override { return record(radio, qcIsLocal, local.count(radio) > 0); }
  bool isMaster(int radio) override { return record(radio, qcIsMaster, master.count(radio) > 0); }
  bool exists(int radio) override { return record(radio, qcExists, existing.count(radio) > 0); }
  bool markPolling(int radio) override { return record(radio, qcIsRead, read.count(radio) > 0); }
  bool setRead(int radio, bool argument) override {
    queries.push_back({radio, qcSetRead, argument});
    bool old = read.count(radio) > 0;
    if (argument)
      read.insert(radio);
    else
      read.erase(radio);
    return old;
  }
  bool markLocal(int radio) override { return record(radio, qcMarkLocal, false, true); }
  void radioRenumbered(int radio, bool monitoring) override {
    queries.push_back({radio, qcRenumbered, monitoring});
  }
  void taskCancelled(int radio) override { queries.push_back({radio, qcCancel, true}); }
  void readDone() override { queries.push_back({0, qcTaskDone, false}); }
  std::string RegisterValue(int radio, int param, bool) override {
    auto it = values.find({radio, param});
    return it == values.end() ? "No Radio" : it->second;
  }
  bool ApplyReply(int param, int value, const std::string& text) override {
    applies.push_back({param, value, text});
    return false;
  }
  // An emulated radio's value is kept where RegisterValue reads it.
  bool storeRegister(int radio, int param, int value, const std::string& text) override {
    applies.push_back({param, value, text});
    values[{radio, param}] = text;
    return true;
  }
  void registerRefused(int param) override { refused.push_back(param); }

  int count(int code) const {
    int n = 0;
    for (const auto& q : queries) n += q.code == code;
    return n;
  }
  std::vector<Query> of(int code) const {
    std::vector<Query> out;
    for (const auto& q : queries)
      if (q.code == code) out.push_back(q);
    return out;
  }

  std::set<int> read, local, master, existing;
  std::map<std::pair<int, int>, std::string> values;
  std::vector<Query> queries;
  std::vector<Apply> applies;
  std::vector<int> refused;  // parameters whose register answered "ERROR"

 private:
  bool record(int radio, int code, bool answer, bool argument = false) {
    queries.push_back({radio, code, argument});
    return answer;
  }
};

// An engine over fakes: serial port, timer, prompts, settings, dialog state,
// status bar and terminal all observable.
class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    serial.clock = [this] { return timer.nowMs(); };
  }

  // Creates the engine (after the test prepared settings) and opens port 1.
  TcomPort& make(bool open = true) {
    engine = std::make_unique<TcomPort>(serial, timer, prompts, settings, view, &terminal);
    engine->AttachMainWindow(&status, &callbacks);
    if (open) serial.setActive(true);
    return *engine;
  }

  // Radio replies: each command answered with the given lines, CR LF framed.
  // A radio that answers "AT" answers the hang-up and the escape as well,
  // unless the script says otherwise.
  void answer(std::map<std::string, std::vector<std::string>> script) {
    if (script.count("AT")) {
      script.emplace("ATH", std::vector<std::string>{"OK"});
      script.emplace("+++", std::vector<std::string>{"OK"});
    }
    serial.responder = [this, script](const std::string& line) {
      auto it = script.find(line);
      if (it == script.end()) return;
      std::string bytes;
      for (const auto& l : it->second) bytes += l + "\r\n";
      serial.queueReply(bytes);
    };
  }

  std::vector<std::string> promptTexts() const { return prompts.texts(); }

  FakeTickTimer timer;
  FakeSerialLink serial;
  PromptScript prompts;
  MemorySettingsStore settings;
  MemoryComPortView view;
  MemoryStatusBar status{800};
  MemoryTerminal terminal;
  RecordingCallbacks callbacks;
  std::unique_ptr<TcomPort> engine;
};

}  // namespace tessel::testing
