// Bytes from a device server: the Telnet side of a network port (option
// negotiation, port control answers, IAC escapes), fed in pieces as a
// socket delivers them; and serial data through the escaping and back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "serial/telnet_com_port.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the size of the pieces, the rest is the stream.
  const size_t piece = 1 + data[0] % 64;
  const std::string stream(reinterpret_cast<const char*>(data) + 1, size - 1);

  tessel::TelnetComPort port;
  port.start();
  std::string received;
  for (size_t at = 0; at < stream.size(); at += piece) {
    port.receive(stream.data() + at, std::min(piece, stream.size() - at));
    received += port.takeData();
    (void)port.takeOutput();
    // Commands of ours between the pieces must not disturb the parse.
    tessel::TLineSettings line;
    line.baudRate = static_cast<int32_t>(stream.size() * 0x01010101u);
    port.setLine(line);
    port.setDtr(at % 2 == 0);
  }
  // Without an IAC there is nothing but data.
  if (stream.find('\xFF') == std::string::npos && received != stream) __builtin_trap();

  // Serial data goes out escaped and a parser gives it back as it was.
  tessel::TelnetComPort out, in;
  out.sendData(stream);
  const std::string wire = out.takeOutput();
  in.receive(wire.data(), wire.size());
  if (in.takeData() != stream) __builtin_trap();
  return 0;
}
