#pragma once

// What the end-to-end tests of tessel-cli share: a scratch folder that is
// also the programs' home, simulators started as processes, and projects of
// the simulator's default group.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "process.h"
#include "sim/sim_project.h"

namespace tessel::testing {

class CliProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/cli_e2e_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string file(const std::string& name) const { return dir_ + "/" + name; }

  // Starts `tessel-cli sim ...` and returns the device it serves.
  std::string startSim(std::unique_ptr<Process>& sim, std::vector<std::string> args) {
    args.insert(args.begin(), "sim");
    sim = std::make_unique<Process>(args, dir_);
    std::string first = sim->readLine();
    EXPECT_EQ(first.rfind("device: ", 0), 0u) << first << sim->err();
    return first.size() > 8 ? first.substr(8) : std::string();
  }

  // A project holding the default simulated group.
  void writeGroup(const std::string& path, int radios, std::vector<int> models) {
    sim::SimSetup s;
    std::string error;
    ASSERT_TRUE(sim::defaultSetup(radios, models, s, error)) << error;
    sim::SimRadioGroup g(std::move(s.radios), s.local);
    ASSERT_TRUE(sim::saveProject(path, g, {}, error)) << error;
  }

  std::string dir_;
};

}  // namespace tessel::testing
