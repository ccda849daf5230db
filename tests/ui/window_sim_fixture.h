#pragma once

// The program on simulated radios over a pseudo-terminal, served in the
// test process: the engine's timer is fired only when the line has gone
// quiet, and the traffic is counted as the engine reports it.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "link/link_observer.h"
#include "model/brand.h"
#include "model/catalogue.h"
#include "model/ini_file.h"
#include "model/project.h"
#include "model/radio.h"
#include "serial/tserial.h"
#include "sim/sim_project.h"
#include "sim/sim_pty.h"
#include "window_fixture.h"

namespace tessel::testing {

class WindowOnSimulatedRadios : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    sim::SimSetup setup;
    std::string error;
    ASSERT_TRUE(sim::defaultSetup(static_cast<int>(radioIDs.size()), models, setup, error))
        << error;
    // Renumbered radios stay attached to the first one, the local master.
    ASSERT_EQ(radioIDs.front(), 1);
    for (size_t i = 0; i < radioIDs.size(); ++i)
      setup.radios[i].configure(param::radioID, std::to_string(radioIDs[i]));
    group = std::make_unique<sim::SimRadioGroup>(std::move(setup.radios), setup.local);
    pty = std::make_unique<sim::SimPty>(*group, sim::SimPty::Options{});
    ASSERT_TRUE(pty->open()) << pty->error();
    // What the local radio holds, read before the simulator serves.
    const sim::SimRadio& local = group->radios()[group->localIndex()];
    for (int reg : {0, 1, 2}) expected[reg] = local.saved(reg);
    model = local.model();
    misbehave(*group);
    server = std::thread([this] { pty->run(); });
    settings.strings["ComPort"] = "1";
    settings.strings["COM1"] = pty->slavePath();
    settings.setExists(true);
  }
  // Makes the simulated radios misbehave, before they serve.
  virtual void misbehave(sim::SimRadioGroup&) {}

  // The simulated group's project, as the simulator holds it, in dir/name.
  std::string saveGroup(const std::string& name) {
    const std::string path = dir + "/" + name;
    std::string error;
    EXPECT_TRUE(sim::saveProject(path, *group, {}, error)) << error;
    return path;
  }
  // The window on the simulated radios, the project at path open.
  void openProject(const std::string& path) {
    settings.strings["file1"] = path;
    startOnSim();
    window().show();
    ASSERT_TRUE(runUntil([&] { return wiring->serial().Active(); }, 3000)) << "port never opened";
    action("file1")->trigger();
  }

  void TearDown() override {
    if (wiring) wiring->engine().removeObserver(&traffic);
    wiring.reset();
    if (pty) pty->stop();
    if (server.joinable()) server.join();
    WindowTest::TearDown();
  }

  // What went over the line, counted by the engine rather than read off the
  // terminal, whose screen stops growing once it holds its most lines.
  struct Traffic : LinkObserver {
    void lineSent(const std::string& line) override {
      ++lines;
      lastSent = line;
      ++unanswered;
      identifying = line == "ATI";
      transcript.push_back(" < " + line);
    }
    void lineReceived(const std::string& line) override {
      ++lines;
      transcript.push_back(" > " + line);
      // "OK" or "ERROR" ends an answer; "ATI" is answered by its one line.
      if ((line == "OK" || line == "ERROR" || identifying) && unanswered > 0) --unanswered;
      identifying = false;
    }
    // A tick gives up on whatever was not answered.
    void ticked() {
      unanswered = 0;
      identifying = false;
    }
    void dialling(int radio) override {
      // The IDs are dialled upwards: going down again ends a round.
      if (lastDialled >= 0 && radio < lastDialled) ++rounds;
      lastDialled = radio;
    }
    void radioPolled(int radio) override { ++polls[radio]; }
    int lines = 0;
    std::string lastSent;
    int unanswered = 0;  // lines sent whose final answer has not come
    bool identifying = false;
    std::vector<std::string> transcript;
    int lastDialled = -1;
    int rounds = 0;
    std::map<int, int> polls;
  };

  Wiring& startOnSim() {
    start();
    wiring->engine().addObserver(&traffic);
    return *wiring;
  }

  // A dial no radio of the group answers: the simulator stays silent.
  bool dialUnanswerable() const {
    if (traffic.lastSent.rfind("ATD", 0) != 0 || traffic.lastSent.size() <= 3) return false;
    const std::string digits = traffic.lastSent.substr(3);
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 3)
      return false;
    return std::find(radioIDs.begin(), radioIDs.end(), std::stoi(digits)) == radioIDs.end();
  }

  // Drives the engine's timer only when the line has gone quiet, as the
  // 2.5 s tick would, without waiting for it. A slow machine delays the
  // replies; a tick fired while they are still coming would count as a
  // radio that did not answer. Once the last command has its "OK" or
  // "ERROR" nothing more is coming, and a dial that nothing will answer
  // never gets one: the tick then comes at once, so a round over the 255
  // radio IDs stays short.
  bool runUntil(const std::function<bool()>& done, int limitMs = 15000) {
    QElapsedTimer t;
    t.start();
    QElapsedTimer quiet;
    quiet.start();
    int lines = traffic.lines;
    while (!done() && t.elapsed() < limitMs) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      if (traffic.lines != lines) {
        lines = traffic.lines;
        quiet.restart();
      }
      const bool nothingDue = traffic.unanswered == 0 || dialUnanswerable();
      if (quiet.elapsed() >= (nothingDue ? 2 : 150)) {
        traffic.ticked();
        if (timer.fire()) ++ticks;
        lines = traffic.lines;
        quiet.restart();
      } else {
        QThread::msleep(1);
      }
    }
    return done();
  }

  // "&New Project" into dir/found.vro, run until a whole round of radio IDs
  // was dialled; false when it never got there.
  bool discoverIntoNewProject() {
    startOnSim();
    window().show();
    if (!runUntil([&] { return wiring->serial().Active(); }, 3000)) return false;
    answerFileDialog(QString::fromStdString(dir + "/found"));
    action("discoverNew")->trigger();
    EXPECT_EQ(panel().WindowMode, wmMonitor);
    EXPECT_NE(window().model().project(), nullptr);
    return runUntil([&] { return traffic.rounds >= 1; }, 20000);
  }

  // Every radio of the group has a record under its radio ID, a section in
  // the new project file and a row of the list, all with the default name;
  // no other radio ID has any.
  void expectEveryRadioFound() {
    Tproject* p = window().model().project();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->fileName(), dir + "/found.vro");
    QTreeWidget* list = window().views().list();
    std::set<QString> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) rows.insert(list->topLevelItem(i)->text(0));
    char name[16];
    for (int id = 0; id < kRadioSlots; ++id) {
      SCOPED_TRACE(id);
      std::snprintf(name, sizeof name, "Radio %03d", id);
      const bool held = std::find(radioIDs.begin(), radioIDs.end(), id) != radioIDs.end();
      Tradio* r = p->radio(id);
      if (!held) {
        EXPECT_FALSE(p->sectionExists(Tradio::sectionName(id)));
        if (r) {
          EXPECT_EQ(r->listItem, kNoRow) << "listed, yet no radio answers to it";
        }
        continue;
      }
      ASSERT_NE(r, nullptr);
      EXPECT_EQ(r->settings.name, name);
      EXPECT_EQ(p->readKey(Tradio::sectionName(id), "Radio Name", ""), name);
      EXPECT_TRUE(rows.count(QString::fromLatin1(name)));
    }
    EXPECT_EQ(list->topLevelItemCount(), static_cast<int>(radioIDs.size()));
    // The group's values are in the file already, as a program killed now
    // would leave it.
    IniFile file(p->fileName());
    EXPECT_EQ(file.readString("Project", "Group ID", ""), expected[0]);
    EXPECT_EQ(file.readString("Project", "Security ID", ""), expected[2]);
    EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().front();
    // Discovering only reads: no radio is written to.
    for (const std::string& line : traffic.transcript) {
      EXPECT_EQ(line.find('='), std::string::npos) << line;
      EXPECT_EQ(line.find("AT&W"), std::string::npos) << line;
    }
  }

  // Opens a project of the group's radios, under their numbers (and their
  // models, unless the monitor is to find them out), and starts the monitor
  // on it with "&Existing Project".
  void monitorFiveRadios(bool withModels = true) {
    const std::string path = dir + "/five.vro";
    {
      std::ofstream f(path);
      f << "[Project]\n";
      for (size_t i = 0; i < radioIDs.size(); ++i) {
        f << "[Radio" << radioIDs[i] << "]\nRadio Name=Radio 00" << radioIDs[i] << "\n";
        if (withModels)
          f << brandModels(0).modelKey << "=" << brandModels(0).names[models[i]] << "\n";
      }
    }
    settings.strings["file1"] = path;
    startOnSim();
    window().show();
    ASSERT_TRUE(runUntil([&] { return wiring->serial().Active(); }, 3000)) << "port never opened";
    action("file1")->trigger();
    action("discoverThis")->trigger();
    ASSERT_EQ(panel().WindowMode, wmMonitor);
  }

  bool everyRadioPolled(int times) {
    for (int id : radioIDs)
      if (traffic.polls[id] < times) return false;
    return true;
  }

  std::vector<int> radioIDs{1, 2, 3, 4, 5};
  std::vector<int> models{0, 1, 2, 0, 1};
  Traffic traffic;
  int ticks = 0;  // fired while the timer ran
  std::unique_ptr<sim::SimRadioGroup> group;
  std::unique_ptr<sim::SimPty> pty;
  std::thread server;
  std::map<int, std::string> expected;
  int model = -1;
};

}  // namespace tessel::testing
