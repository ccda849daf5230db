// A command line as the simulated radios and the group emulator read it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/at_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const tessel::at::Command c = tessel::at::parseCommand(line);
  if (c.kind == tessel::at::CommandKind::Page && (c.page < 1 || c.page > 3)) __builtin_trap();
  (void)tessel::at::splitAssignments(line);
  return 0;
}
