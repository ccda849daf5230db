#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>

namespace tessel {

class SettingsStore;

// The traffic log: one text file per weekday ("Monday.log" ...) in the
// directory named by the "LogPath" setting (created when missing). A file
// left from an earlier week is replaced when its weekday comes round again.
// A day's file stops at a size limit ("LogLimitMB" setting, 256 MB when
// absent) with a last line saying so; the next day's file starts afresh.
// Failures are reported through onError, once until a write succeeds again.
class LogWriter {
 public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;

  // Kind markers of a line.
  static constexpr char kInfo = 'i';
  static constexpr char kError = 'e';
  static constexpr char kProtocol = 'P';

  // defaultDir is used when settings hold no "LogPath".
  LogWriter(const SettingsStore* settings, std::string defaultDir, Clock clock = nullptr);

  // Appends "yyyy/mm/dd hh:mm:ss.zzzz <kind> <tick> <text>", control
  // characters of text written as \r, \n or \xNN. False when the file cannot
  // be written; lastError() says why.
  bool write(char kind, int tick, const std::string& text);
  void close();

  // Opens today's file now, so a folder that cannot hold the log is known
  // (and reported) before any traffic; false with lastError() when not.
  bool ready();

  // The first failure of a spell (the folder missing and not creatable, a
  // file where the folder should be, a full disk) as a sentence.
  std::function<void(const std::string&)> onError;

  static constexpr int kDefaultLimitMB = 256;
  // The limit of one day's file in bytes (0: none); the setting's by default.
  void setLimitBytes(std::uintmax_t limit) { limit_ = limit; }
  std::uintmax_t limitBytes() const { return limit_; }
  // The last line of a file that reached the limit.
  static std::string limitLine(std::uintmax_t limit);

  std::string directory() const;
  std::string currentFile() const { return fileName_; }
  const std::string& lastError() const { return lastError_; }

  static std::string timeStamp(std::chrono::system_clock::time_point t);

 private:
  bool openFor(std::chrono::system_clock::time_point t);
  bool fail(const std::string& error);

  const SettingsStore* settings_;
  std::string defaultDir_;
  Clock clock_;
  std::ofstream out_;
  std::string fileName_;
  int openDay_ = -1;  // days since the epoch of the open file, local time
  std::string lastError_;
  bool failing_ = false;  // onError told, no write has succeeded since
  std::uintmax_t limit_ = 0;
  std::uintmax_t size_ = 0;  // bytes in the open file
  bool full_ = false;        // the open file reached the limit
};

}  // namespace tessel
