#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace tessel {

// Assembles received characters into lines, in one of two framings: a
// radio's reply is a line once both a CR and an LF have come; a command to
// the emulated radios ends at CR (or a lone LF), as a modem takes it.
class LineAssembler {
 public:
  static constexpr size_t kBufferLimit = 4096;

  // onOverflow: told once per run of text that outgrows the buffer without
  // a line end. onBlank: told of a reply line with no text, which is no
  // line of its own (an empty value comes as one).
  explicit LineAssembler(std::function<void()> onOverflow = nullptr,
                         std::function<void()> onBlank = nullptr)
      : onOverflow_(std::move(onOverflow)), onBlank_(std::move(onBlank)) {}

  // Takes one character; true with the complete line in line (its line
  // ends removed, the buffer emptied) when ch ended one.
  bool feed(char ch, bool commandFraming, std::string& line);

  // The text received since the last line.
  const std::string& buffer() const { return buffer_; }
  void clear() { buffer_.clear(); }

 private:
  bool replyChar(char ch, std::string& line);
  bool commandChar(char ch, std::string& line);
  void append(char ch);
  void complete(std::string& line, std::string text);

  std::function<void()> onOverflow_;
  std::function<void()> onBlank_;
  std::string buffer_;
  bool crFlag_ = false;
  bool lfFlag_ = false;
  bool overflowTold_ = false;
};

}  // namespace tessel
