#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "memory_settings_store.h"
#include "prompt_script.h"
#include "serial/loop_dispatcher.h"
#include "serial/tserial.h"

namespace tessel {
namespace testing {

using namespace std::chrono_literals;

// A pseudo-terminal whose slave is COM1; the test plays the far end on the
// master. The test thread is the GUI thread of the dispatcher.
class SerialOverPty : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[256] = {};
    ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    slavePath_ = name;
    settings_.writeString("COM1", slavePath_);
  }

  void TearDown() override {
    serial_.reset();
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
  }

  std::unique_ptr<TSerial> makeSerial() {
    return std::make_unique<TSerial>(gui_, &prompts_, &settings_);
  }

  TSerial& openSerial() {
    serial_ = makeSerial();
    serial_->setActive(true);
    EXPECT_TRUE(serial_->Active()) << (prompts_.texts().empty() ? "" : prompts_.texts().back());
    return *serial_;
  }

  void writeMaster(const std::string& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // What the far end received: up to want bytes, or what came within limit.
  std::string readMaster(size_t want, std::chrono::milliseconds limit = 500ms) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < want && std::chrono::steady_clock::now() < deadline) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 5) > 0) {
        char buffer[4096];
        ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) got.append(buffer, static_cast<size_t>(n));
      }
    }
    return got;
  }

  void closeMaster() {
    ::close(master_);
    master_ = -1;
  }

  LoopDispatcher gui_;  // outlives the component
  PromptScript prompts_;
  MemorySettingsStore settings_;
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  std::unique_ptr<TSerial> serial_;
};

}  // namespace testing
}  // namespace tessel
