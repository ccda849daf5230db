#include "serial/message_assembler.h"

namespace tessel {

bool TMessageAssembler::feed(char c, char start, char end, uint16_t appendCount) {
  if (state_ == maTrailer) {
    // After the end character everything is trailer, start and end alike.
    text_ += c;
    if (--countdown_ > 0) return false;
    state_ = maDone;
    return true;
  }
  if (c == start) {
    state_ = maInside;  // a start inside a message drops the partial text
    text_.assign(1, c);
    return false;
  }
  if (state_ != maInside) return false;  // outside a message only a start counts
  text_ += c;
  if (c != end) return false;
  if (appendCount > 0) {
    state_ = maTrailer;
    countdown_ = appendCount;
    return false;
  }
  state_ = maDone;
  return true;
}

}  // namespace tessel
