#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "serial/port_watch.h"
#include "temp_tree.h"

namespace tessel {
namespace testing {
namespace {

namespace fs = std::filesystem;

// A fake /dev in a temporary folder; a symlink appearing there stands for
// a plugged adapter.
class PortWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    watch_ = std::make_unique<PortWatch>(t.root());
    watch_->setOnChange([this](const PortChange& c) {
      seen.push_back((c.appeared ? "+" : "-") + c.path.substr(t.root().size() + 1));
    });
    ASSERT_EQ(watch_->start(), 0);
    ASSERT_GE(watch_->fd(), 0);
  }

  // What the watch reports once its descriptor is readable (nothing when it
  // stays quiet for limitMs).
  std::vector<std::string> changes(int limitMs = 200) {
    seen.clear();
    pollfd p{watch_->fd(), POLLIN, 0};
    if (::poll(&p, 1, limitMs) > 0) watch_->readEvents();
    return seen;
  }

  // Everything reported until the watch stays quiet, sorted.
  std::vector<std::string> allChanges() {
    std::vector<std::string> all;
    for (auto c = changes(); !c.empty(); c = changes(50)) all.insert(all.end(), c.begin(), c.end());
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
  }

  TempTree t;
  std::unique_ptr<PortWatch> watch_;
  std::vector<std::string> seen;
};

using Changes = std::vector<std::string>;

TEST_F(PortWatchTest, ReportsSerialDevicesAppearingAndGoingAndIgnoresOtherFiles) {
  t.link("ttyUSB0", "/dev/null");
  EXPECT_EQ(changes(), Changes{"+ttyUSB0"});
  t.file("tty5", "");
  t.file("ttyUSBx", "");
  t.file("null2", "");
  EXPECT_EQ(changes(50), Changes{});  // nothing to report: the descriptor stays quiet
  t.link("ttyACM3", "/dev/null");
  fs::remove(t.path("ttyUSB0"));
  EXPECT_EQ(changes(), (Changes{"+ttyACM3", "-ttyUSB0"}));
  fs::rename(t.path("ttyACM3"), t.path("ttyS1"));
  EXPECT_EQ(changes(), (Changes{"-ttyACM3", "+ttyS1"}));
  seen.clear();
  watch_->readEvents();  // nothing waiting: returns at once
  EXPECT_TRUE(seen.empty());
}

TEST_F(PortWatchTest, FollowsTheByIdFolderAsUdevMakesAndRemovesIt) {
  // The first adapter: udev makes serial/by-id and the link in one go.
  t.link("serial/by-id/usb-FTDI_A1-if00-port0", "/dev/null");
  EXPECT_EQ(changes(), Changes{"+serial/by-id/usb-FTDI_A1-if00-port0"});
  t.link("serial/by-id/usb-FTDI_B2-if00-port0", "/dev/null");
  EXPECT_EQ(changes(), Changes{"+serial/by-id/usb-FTDI_B2-if00-port0"});

  // The last one unplugged: the folders go; plugged again, they come back.
  fs::remove_all(t.path("serial"));
  EXPECT_EQ(allChanges(), (Changes{"-serial/by-id/usb-FTDI_A1-if00-port0",
                                   "-serial/by-id/usb-FTDI_B2-if00-port0"}));
  t.link("serial/by-id/usb-FTDI_A1-if00-port0", "/dev/null");
  EXPECT_EQ(allChanges(), Changes{"+serial/by-id/usb-FTDI_A1-if00-port0"});
  fs::remove(t.path("serial/by-id/usb-FTDI_A1-if00-port0"));
  EXPECT_EQ(changes(), Changes{"-serial/by-id/usb-FTDI_A1-if00-port0"});
}

TEST(PortWatch, ChangesLostToAFullQueueAskForANewList) {
  std::ifstream limit("/proc/sys/fs/inotify/max_queued_events");
  int max = 0;
  if (!(limit >> max) || max > 100000) GTEST_SKIP() << "queue too long to fill here";
  TempTree shm("/dev/shm");  // memory: thousands of files in a moment
  if (shm.root().empty()) GTEST_SKIP() << "no /dev/shm";
  PortWatch w(shm.root());
  std::vector<PortChange> seen;
  w.setOnChange([&](const PortChange& c) { seen.push_back(c); });
  ASSERT_EQ(w.start(), 0);
  for (int i = 0; i <= max; ++i)
    fs::create_symlink("/dev/null", shm.path("ttyS" + std::to_string(i)));
  w.readEvents();
  ASSERT_FALSE(seen.empty());
  EXPECT_LE(seen.size(), static_cast<size_t>(max) + 1);  // not one per file made
  EXPECT_TRUE(seen.back().appeared && seen.back().path.empty())
      << "after what fitted, the notice that more was lost";
}

TEST(PortWatch, MissingFolderIsAnErrorNotACrash) {
  PortWatch w("/nonexistent-dev");
  EXPECT_EQ(w.start(), ENOENT);
  EXPECT_EQ(w.fd(), -1);
  w.readEvents();
}

}  // namespace
}  // namespace testing
}  // namespace tessel
