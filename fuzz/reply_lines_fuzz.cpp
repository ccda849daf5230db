// Received bytes: the serial component's message assembly, then each
// CR LF line through the reply classifier.
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/tcom_port.h"
#include "serial/message_assembler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  // The first bytes choose the framing, the rest is the stream.
  const char start = static_cast<char>(data[0]);
  const char end = static_cast<char>(data[1]);
  const uint16_t trailer = data[2] % 8;
  const std::string stream(reinterpret_cast<const char*>(data) + 3, size - 3);

  tessel::TMessageAssembler assembler;
  for (char c : stream) {
    if (assembler.feed(c, start, end, trailer)) {
      const std::string& m = assembler.text();
      // A message runs from its start character to the end and trailer.
      if (m.empty() || m.front() != start || m.size() < 2u + trailer) __builtin_trap();
    }
  }

  size_t pos = 0;
  while (pos < stream.size()) {
    size_t lf = stream.find('\n', pos);
    std::string line = stream.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    (void)tessel::classifyReply(line);
    if (lf == std::string::npos) break;
    pos = lf + 1;
  }
  return 0;
}
