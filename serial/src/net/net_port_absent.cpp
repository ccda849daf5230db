// A build without network serial ports (one for a system whose Debian
// packages have no libtelnet for it): a network address opens nothing and
// says why, so the user is told instead of left waiting.
#include "serial/net_port.h"

namespace tessel {

struct NetPort::Connection {};

NetPort::NetPort(GuiDispatcher& gui) : gui_(gui) {}

NetPort::~NetPort() = default;

void NetPort::setAddress(const std::string& address) {
  address_ = address;
}

void NetPort::setLine(const TLineSettings& line) {
  line_ = line;
}

bool NetPort::Connected() const {
  return false;
}

uint32_t NetPort::ServerBaudrate() const {
  return 0;
}

bool NetPort::Active() const {
  return false;
}

void NetPort::setActive(bool open) {
  if (!open) return;
  lastMessage_ = address_ +
                 ": this build of the program has no network serial ports (rfc2217://, tcp://); "
                 "connect the radio to a COM port";
}

void NetPort::setBaudrate(int32_t rate) {
  line_.baudRate = rate;
}

void NetPort::setParity(eParity parity) {
  line_.parity = parity;
}

void NetPort::setDataBits(eDataBits bits) {
  line_.byteSize = bits == d8bit ? 8 : 7;
}

void NetPort::setStopBits(eStopBits bits) {
  line_.stopBits = bits;
}

void NetPort::WriteString(const std::string&) {}

int NetPort::ReadChar(char&) {
  return 0;
}

}  // namespace tessel
