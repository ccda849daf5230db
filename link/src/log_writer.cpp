#include "link/log_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "seams/settings_store.h"

namespace tessel {

namespace fs = std::filesystem;

namespace {

std::tm localTime(std::chrono::system_clock::time_point t) {
  std::time_t secs = std::chrono::system_clock::to_time_t(t);
  std::tm local{};
  localtime_r(&secs, &local);
  return local;
}

// A number that changes exactly when the local calendar date does.
int dayKey(const std::tm& local) {
  return (local.tm_year + 1900) * 400 + local.tm_yday;
}

// One record per line: control characters that came with a radio's reply
// or a queued line (its own CR) are written as escapes, so received text
// can neither break a record nor forge one.
std::string printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

const char* const kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

}  // namespace

LogWriter::LogWriter(const SettingsStore* settings, std::string defaultDir, Clock clock)
    : settings_(settings), defaultDir_(std::move(defaultDir)), clock_(std::move(clock)) {
  if (!clock_) clock_ = [] { return std::chrono::system_clock::now(); };
}

std::string LogWriter::directory() const {
  std::string dir;
  if (settings_ && settings_->readString("LogPath", dir) && !dir.empty()) return dir;
  return defaultDir_;
}

std::string LogWriter::timeStamp(std::chrono::system_clock::time_point t) {
  using namespace std::chrono;
  std::tm local = localTime(t);
  // Ten-thousandths of a second: four digits after the point.
  auto tenth = duration_cast<microseconds>(t.time_since_epoch()).count() / 100 % 10000;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d.%04d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(tenth));
  return buf;
}

bool LogWriter::openFor(std::chrono::system_clock::time_point t) {
  std::tm local = localTime(t);
  int day = dayKey(local);
  if (out_.is_open() && day == openDay_) return true;
  close();

  std::error_code ec;
  fs::path dir = directory();
  if (dir.empty()) dir = ".";
  fs::create_directories(dir, ec);
  fs::path file = dir / (std::string(kWeekdays[local.tm_wday]) + ".log");

  // The file of this weekday belongs to an earlier week unless it was last
  // written today: then it is replaced, not continued.
  bool replace = false;
  if (fs::exists(file, ec)) {
    auto written = fs::last_write_time(file, ec);
    if (!ec) {
      auto sysWritten = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
          written - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
      replace = dayKey(localTime(sysWritten)) != day;
    }
  }
  out_.open(file, replace ? std::ios::out | std::ios::trunc : std::ios::out | std::ios::app);
  if (!out_.is_open()) {
    lastError_ = "cannot write " + file.string() + ": " + std::strerror(errno);
    return false;
  }
  fileName_ = file.string();
  openDay_ = day;
  return true;
}

bool LogWriter::write(char kind, int tick, const std::string& text) {
  auto now = clock_();
  if (!openFor(now)) return false;
  out_ << timeStamp(now) << ' ' << kind << ' ' << tick << ' ' << printable(text) << '\n';
  out_.flush();
  if (!out_) {
    lastError_ = "cannot write " + fileName_;
    close();
    return false;
  }
  return true;
}

void LogWriter::close() {
  if (out_.is_open()) out_.close();
  out_.clear();
  openDay_ = -1;
}

}  // namespace tessel
