#include "link/log_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "platform/local_time.h"
#include "seams/settings_store.h"

namespace tessel {

namespace fs = std::filesystem;

namespace {

std::tm localTime(std::chrono::system_clock::time_point t) {
  return platform::localTime(std::chrono::system_clock::to_time_t(t));
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
  int mb = kDefaultLimitMB;
  if (settings_ && settings_->readInteger("LogLimitMB", mb) && mb >= 0)
    limit_ = static_cast<std::uintmax_t>(mb) << 20;
  else
    limit_ = static_cast<std::uintmax_t>(kDefaultLimitMB) << 20;
}

std::string LogWriter::limitLine(std::uintmax_t limit) {
  return "log limit of " + std::to_string(limit) + " bytes reached; nothing more is logged today";
}

bool LogWriter::fail(const std::string& error) {
  lastError_ = error;
  if (!failing_ && onError) onError(error);
  failing_ = true;
  return false;
}

bool LogWriter::ready() {
  return openFor(clock_());
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
  fs::path dir = platform::pathFromUtf8(directory());
  if (dir.empty()) dir = ".";
  const std::string shown = platform::utf8FromPath(dir);
  if (!fs::exists(dir, ec) && !fs::create_directories(dir, ec) && ec)
    return fail("cannot create the log folder " + shown + ": " + ec.message());
  if (!fs::is_directory(dir, ec)) return fail("the log folder " + shown + " is not a folder");
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
  errno = 0;
  // Binary: a line ends with LF alone on every system.
  const auto mode = std::ios::out | std::ios::binary | (replace ? std::ios::trunc : std::ios::app);
  out_.open(file, mode);
  if (!out_.is_open()) {
    const int err = errno;
    out_.clear();
    return fail("cannot write " + platform::utf8FromPath(file) + ": " +
                (err ? std::strerror(err) : "cannot open the file"));
  }
  fileName_ = platform::utf8FromPath(file);
  openDay_ = day;
  size_ = replace ? 0 : fs::file_size(file, ec);
  if (ec) size_ = 0;
  // A file that reached the limit earlier today stays closed for today.
  full_ = false;
  if (limit_ > 0 && size_ > 0) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(-static_cast<std::streamoff>(std::min<std::uintmax_t>(size_, 256)), std::ios::end);
    std::string tail((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    full_ = tail.find(limitLine(limit_)) != std::string::npos;
  }
  return true;
}

bool LogWriter::write(char kind, int tick, const std::string& text) {
  auto now = clock_();
  if (!openFor(now)) return false;
  if (full_) return true;
  std::string line =
      timeStamp(now) + ' ' + kind + ' ' + std::to_string(tick) + ' ' + printable(text) + '\n';
  if (limit_ > 0) {
    const std::string last =
        timeStamp(now) + ' ' + kError + ' ' + std::to_string(tick) + ' ' + limitLine(limit_) + '\n';
    // The closing line fits within the limit too.
    if (size_ + line.size() + last.size() > limit_) {
      line = last;
      full_ = true;
    }
  }
  out_ << line;
  out_.flush();
  if (!out_) {
    const std::string file = fileName_;
    close();
    return fail("cannot write " + file + ": " + std::strerror(errno ? errno : EIO));
  }
  size_ += line.size();
  failing_ = false;
  lastError_.clear();
  return true;
}

void LogWriter::close() {
  if (out_.is_open()) out_.close();
  out_.clear();
  openDay_ = -1;
  full_ = false;
}

}  // namespace tessel
