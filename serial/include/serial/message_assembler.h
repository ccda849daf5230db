#pragma once

// Framed messages out of a stream of received characters: from the start
// character to the end character, then a fixed number of trailer characters
// (a checksum, say). The serial component's event thread feeds it in
// rxMessage mode.
#include <cstdint>
#include <string>

namespace tessel {

class TMessageAssembler {
 public:
  enum State : uint8_t {
    maIdle,     // no message started yet
    maInside,   // the start character has been seen
    maTrailer,  // the end character has been seen; trailer characters follow
    maDone,     // the last message is complete and was delivered
  };

  // Takes one character; true when it completed a message (see text()).
  bool feed(char c, char start, char end, uint16_t appendCount);

  State state() const { return state_; }
  // The message being assembled, or the last one until the next start.
  const std::string& text() const { return text_; }

 private:
  State state_ = maIdle;
  uint16_t countdown_ = 0;
  std::string text_;
};

}  // namespace tessel
