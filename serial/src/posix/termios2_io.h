#pragma once

// Line state through the kernel's termios2, which carries any baud rate
// (BOTHER). Kept apart from <termios.h>, whose struct termios clashes with
// the kernel's.

namespace tessel {
namespace portio {

// The whole line state of a port as the kernel holds it, to put back at close.
struct SavedLine {
  alignas(8) unsigned char raw[64];
  bool valid = false;
};

int saveLine(int fd, SavedLine& out);
int restoreLine(int fd, const SavedLine& saved);
// Sets input and output speed to exactly rate (any positive value).
int setBaudRate(int fd, int rate);
int getBaudRate(int fd, int& rate);

}  // namespace portio
}  // namespace tessel
