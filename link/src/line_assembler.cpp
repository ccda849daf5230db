#include "link/line_assembler.h"

namespace tessel {

bool LineAssembler::feed(char ch, bool commandFraming, std::string& line) {
  // A NUL is line noise, never text: dropped before it can part a CR from
  // its LF or stick to the front of the next command.
  if (ch == '\0') return false;
  return commandFraming ? commandChar(ch, line) : replyChar(ch, line);
}

void LineAssembler::append(char ch) {
  buffer_ += ch;
  if (buffer_.size() > kBufferLimit) {
    buffer_.erase(0, buffer_.size() - kBufferLimit);
    if (!overflowTold_ && onOverflow_) onOverflow_();
    overflowTold_ = true;
  }
}

void LineAssembler::complete(std::string& line, std::string text) {
  buffer_.clear();
  crFlag_ = lfFlag_ = false;
  overflowTold_ = false;
  line = std::move(text);
}

bool LineAssembler::replyChar(char ch, std::string& line) {
  if (ch == '\r')
    crFlag_ = true;
  else if (ch == '\n')
    lfFlag_ = true;
  else
    crFlag_ = lfFlag_ = false;
  append(ch);
  if (!crFlag_ || !lfFlag_) return false;
  // Only the line ends actually there are removed, a stray one before the
  // text included; a buffer of nothing but line ends is a blank line and no
  // reply (the flags stay set).
  const size_t end = buffer_.find_last_not_of("\r\n");
  if (end == std::string::npos) {
    buffer_.clear();
    if (onBlank_) onBlank_();
    return false;
  }
  const size_t begin = buffer_.find_first_not_of("\r\n");
  complete(line, buffer_.substr(begin, end + 1 - begin));
  return true;
}

// The LF of a CR LF pair ends no second line.
bool LineAssembler::commandChar(char ch, std::string& line) {
  const bool afterCr = crFlag_;
  crFlag_ = ch == '\r';
  if (ch != '\r' && ch != '\n') {
    append(ch);
    return false;
  }
  if ((ch == '\n' && afterCr) || buffer_.empty()) return false;
  complete(line, buffer_);
  crFlag_ = ch == '\r';
  return true;
}

}  // namespace tessel
