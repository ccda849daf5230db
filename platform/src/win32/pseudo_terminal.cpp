#include "platform/pseudo_terminal.h"

namespace tessel::platform {

// Windows has no pseudo-terminals: nothing opens, and the caller is told
// what to do instead.
PseudoTerminal::~PseudoTerminal() = default;

bool PseudoTerminal::open(const std::string&) {
  error_ =
      "simulated radios are served on a pseudo-terminal, which this system has not; run "
      "\"tessel-cli sim\" on Linux and map its device to a COM port";
  return false;
}

int PseudoTerminal::lineSpeed() const {
  return 0;
}

long PseudoTerminal::read(char*, size_t) {
  return -1;
}

long PseudoTerminal::write(const char*, size_t) {
  return -1;
}

void PseudoTerminal::dropUnread() {}

PseudoTerminal::Ready PseudoTerminal::wait(bool, bool, std::optional<std::chrono::nanoseconds>) {
  Ready ready;
  ready.failed = true;
  return ready;
}

void PseudoTerminal::wake() {}

std::vector<int> PseudoTerminal::userChanges() {
  return {};
}

}  // namespace tessel::platform
