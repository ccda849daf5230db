#pragma once

#include <chrono>
#include <fstream>
#include <functional>
#include <string>

namespace tessel {

class SettingsStore;

// The traffic log: one text file per weekday ("Monday.log" ...) in the
// directory named by the "LogPath" setting. A file left from an earlier week
// is replaced when its weekday comes round again.
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

  std::string directory() const;
  std::string currentFile() const { return fileName_; }
  const std::string& lastError() const { return lastError_; }

  static std::string timeStamp(std::chrono::system_clock::time_point t);

 private:
  bool openFor(std::chrono::system_clock::time_point t);

  const SettingsStore* settings_;
  std::string defaultDir_;
  Clock clock_;
  std::ofstream out_;
  std::string fileName_;
  int openDay_ = -1;  // days since the epoch of the open file, local time
  std::string lastError_;
};

}  // namespace tessel
