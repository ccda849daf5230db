// tessel-cli's per-user settings on Windows: the registry key the windowed
// program's QSettings writes, read as texts and numbers, absence told apart,
// never written.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "cli/conf_settings.h"
#include "platform/user_settings.h"

namespace tessel {
namespace {

class RegistrySettings : public ::testing::Test {
 protected:
  void SetUp() override {
    sub_ = L"Software\\TesselTest" + std::to_wstring(GetCurrentProcessId()) + L"\\Tessel";
    location_ = "HKEY_CURRENT_USER\\Software\\TesselTest" + std::to_string(GetCurrentProcessId()) +
                "\\Tessel";
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, sub_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    if (key_) RegCloseKey(key_);
    RegDeleteTreeW(HKEY_CURRENT_USER,
                   (L"Software\\TesselTest" + std::to_wstring(GetCurrentProcessId())).c_str());
  }
  void text(const wchar_t* name, const std::wstring& value) {
    RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  void number(const wchar_t* name, DWORD value) {
    RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }

  std::wstring sub_;
  std::string location_;
  HKEY key_ = nullptr;
};

TEST_F(RegistrySettings, ReadsTheWindowedProgramsValuesAndNeverWritesThem) {
  text(L"ComPort", L"7");
  text(L"Baud rate", L"  9600");
  text(L"Parity", L"None");
  number(L"Data Bits", 8);
  number(L"gpName", 0xFFFFFFFFu);  // QSettings writes an int as its 32 bits
  text(L"autoConfig", L"16");
  text(L"LogPath", L"C:\\Users\\J\u00fcrgen\\Logs");
  text(L"note", L"@@at");  // QSettings' mark for a text that begins with "@"

  cli::ConfSettings s(location_);
  EXPECT_TRUE(s.exists());
  std::string t;
  int n = 0;
  ASSERT_TRUE(s.readString("ComPort", t));
  EXPECT_EQ(t, "7");
  ASSERT_TRUE(s.readString("Baud rate", t));
  EXPECT_EQ(t, "  9600") << "as shown in the box, blanks and all";
  ASSERT_TRUE(s.readInteger("Data Bits", n));
  EXPECT_EQ(n, 8);
  ASSERT_TRUE(s.readInteger("gpName", n));
  EXPECT_EQ(n, -1);
  ASSERT_TRUE(s.readInteger("autoConfig", n));
  EXPECT_EQ(n, 16) << "a number kept as text";
  ASSERT_TRUE(s.readString("Data Bits", t));
  EXPECT_EQ(t, "8");
  ASSERT_TRUE(s.readString("LogPath", t));
  EXPECT_EQ(t, "C:\\Users\\J\xC3\xBCrgen\\Logs") << "UTF-8";
  ASSERT_TRUE(s.readString("note", t));
  EXPECT_EQ(t, "@at");
  EXPECT_FALSE(s.readInteger("Parity", n)) << "no number";
  // Absent values fail, so a guarded block ends there.
  EXPECT_FALSE(s.readString("Stop Bits", t));
  EXPECT_FALSE(s.readInteger("Stop Bits", n));

  // Writes stay with this run; the key keeps what the window wrote.
  ASSERT_TRUE(s.writeString("ComPort", "3"));
  ASSERT_TRUE(s.readString("ComPort", t));
  EXPECT_EQ(t, "3");
  cli::ConfSettings fresh(location_);
  ASSERT_TRUE(fresh.readString("ComPort", t));
  EXPECT_EQ(t, "7");

  cli::ConfSettings none("HKEY_CURRENT_USER\\Software\\TesselTestNone\\Tessel");
  EXPECT_FALSE(none.exists());
  EXPECT_FALSE(none.readString("ComPort", t));
  EXPECT_EQ(cli::ConfSettings::defaultPath("Corvane", "Tessel"),
            "HKEY_CURRENT_USER\\Software\\Corvane\\Tessel");
}

}  // namespace
}  // namespace tessel
