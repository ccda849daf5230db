// A system without pseudo-terminals (Windows): the simulated radios cannot
// be served from here, and an open says so and what to do instead.
#include "sim/sim_pty.h"

namespace tessel::sim {

SimPty::SimPty(SimRadioGroup& group, Options options)
    : group_(group), options_(std::move(options)) {}

SimPty::~SimPty() = default;

bool SimPty::open() {
  error_ =
      "simulated radios are served on a pseudo-terminal, which this system has not; run "
      "\"tessel-cli sim\" on Linux and map its device to a COM port";
  return false;
}

bool SimPty::run() {
  return false;
}

void SimPty::stop() {
  stopping_ = true;
}

}  // namespace tessel::sim
