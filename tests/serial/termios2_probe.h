#pragma once

// The speed the kernel holds for a terminal, read and set through termios2
// independently of the code under test.
int probeBaud(int fd);                // -1 on failure
bool probeSetBaud(int fd, int rate);  // an exact rate
