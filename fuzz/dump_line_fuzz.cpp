// An identification page line and a reply number, as received.
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/dump_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const auto values = tessel::parseDumpLine(line);
  // At most ten fields, of consecutive registers.
  if (values.size() > 10) __builtin_trap();
  for (size_t i = 1; i < values.size(); ++i)
    if (values[i].reg != values[0].reg + static_cast<int>(i)) __builtin_trap();
  (void)tessel::replyNumber(line);
  return 0;
}
