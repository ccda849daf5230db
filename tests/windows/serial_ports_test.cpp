// The COM ports Windows lists (its SERIALCOMM map), in number order, and a
// watch that hears one come and go. The map is the system's; under Wine the
// test may add to it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial_ports.h"
#include "serial/com_ports.h"
#include "serial/port_watch.h"
#include "serial/usb_info.h"

namespace tessel {
namespace {

class SerialComm : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                        REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr) != ERROR_SUCCESS)
      GTEST_SKIP() << "the system's map of serial ports may not be changed here";
  }
  void TearDown() override {
    if (!key_) return;
    for (const std::wstring& name : added_) RegDeleteValueW(key_, name.c_str());
    RegCloseKey(key_);
  }
  void add(const std::wstring& device, const std::wstring& com) {
    RegSetValueExW(key_, device.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(com.c_str()),
                   static_cast<DWORD>((com.size() + 1) * sizeof(wchar_t)));
    added_.push_back(device);
  }
  void remove(const std::wstring& device) { RegDeleteValueW(key_, device.c_str()); }

  HKEY key_ = nullptr;
  std::vector<std::wstring> added_;
};

TEST_F(SerialComm, PortsAreListedByNumberAndCom1To9AreThePortsThemselves) {
  add(L"\\Device\\TesselTest12", L"COM12");
  add(L"\\Device\\TesselTest3", L"COM3");
  const std::vector<std::string> ports = platform::systemSerialPorts();
  const auto at3 = std::find(ports.begin(), ports.end(), "COM3");
  const auto at12 = std::find(ports.begin(), ports.end(), "COM12");
  ASSERT_NE(at3, ports.end());
  ASSERT_NE(at12, ports.end());
  EXPECT_LT(at3, at12) << "by number, not by name";

  EXPECT_EQ(comDevicePath(3, nullptr), "COM3");
  EXPECT_EQ(comDevicePath(8, nullptr), "COM8") << "a number names its port, listed or not";
  const std::vector<ComPortEntry> list = listComPorts(nullptr);
  const auto listed3 =
      std::find_if(list.begin(), list.end(), [](const ComPortEntry& e) { return e.com == 3; });
  ASSERT_NE(listed3, list.end());
  EXPECT_EQ(listed3->info.device, "COM3");
  EXPECT_NE(comPortListText(list).find("COM3  COM3\n"), std::string::npos) << comPortListText(list);
}

TEST_F(SerialComm, AWatchHearsAPortComeAndGoUntilStopped) {
  PortWatch watch;
  ASSERT_EQ(watch.start(), 0);
  std::vector<std::string> changes;
  watch.setOnChange([&](const PortChange& c) {
    changes.push_back((c.appeared ? "plugged: " : "unplugged: ") + c.path);
    if (changes.size() == 2) watch.stop();
  });
  std::thread plug([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    add(L"\\Device\\TesselTest5", L"COM5");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    remove(L"\\Device\\TesselTest5");
  });
  // The test ends even when a change is not heard.
  std::mutex m;
  std::condition_variable cv;
  bool ran = false;
  std::thread guard([&] {
    std::unique_lock<std::mutex> lock(m);
    if (!cv.wait_for(lock, std::chrono::seconds(5), [&] { return ran; })) watch.stop();
  });
  EXPECT_EQ(watch.run(), 0);
  {
    std::lock_guard<std::mutex> lock(m);
    ran = true;
  }
  cv.notify_all();
  plug.join();
  guard.join();
  EXPECT_EQ(changes, (std::vector<std::string>{"plugged: COM5", "unplugged: COM5"}));
}

}  // namespace
}  // namespace tessel
