#include "serial/telnet_com_port.h"

#include <libtelnet.h>

namespace tessel {

namespace {

// What we answer when the server offers or asks for an option: binary both
// ways, suppress-go-ahead both ways (ser2net offers it), port control from
// our side only. Everything else is refused.
const telnet_telopt_t kOptions[] = {{TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
                                    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
                                    {TelnetComPort::kComPortOption, TELNET_WILL, TELNET_DONT},
                                    {-1, 0, 0}};

// SET-CONTROL values.
constexpr unsigned char kFlowNone = 1, kFlowXonXoff = 2, kFlowHardware = 3, kFlowDsr = 19;
constexpr unsigned char kDtrOn = 8, kDtrOff = 9, kRtsOn = 11, kRtsOff = 12;

unsigned char parityCode(eParity p) {
  switch (p) {
    case paNone:
      return 1;
    case paOdd:
      return 2;
    case paEven:
      return 3;
    case paMark:
      return 4;
    case paSpace:
      return 5;
  }
  return 1;
}

}  // namespace

TelnetComPort::TelnetComPort() {
  telnet_ = telnet_init(kOptions, &TelnetComPort::onEvent, 0, this);
  if (!telnet_) error_ = "out of memory for the Telnet state";
}

TelnetComPort::~TelnetComPort() {
  if (telnet_) telnet_free(telnet_);
}

void TelnetComPort::onEvent(telnet_t*, telnet_event_t* event, void* self) {
  static_cast<TelnetComPort*>(self)->event(*event);
}

void TelnetComPort::event(telnet_event_t& ev) {
  switch (ev.type) {
    case TELNET_EV_DATA:
      data_.append(ev.data.buffer, ev.data.size);
      break;
    case TELNET_EV_SEND:
      output_.append(ev.data.buffer, ev.data.size);
      break;
    case TELNET_EV_DO:
      if (ev.neg.telopt == kComPortOption) control_ = Control::Agreed;
      if (ev.neg.telopt == TELNET_TELOPT_BINARY) binaryUs_ = true;
      break;
    case TELNET_EV_DONT:
      if (ev.neg.telopt == kComPortOption) control_ = Control::Refused;
      if (ev.neg.telopt == TELNET_TELOPT_BINARY) binaryUs_ = false;
      break;
    case TELNET_EV_WILL:
      if (ev.neg.telopt == TELNET_TELOPT_BINARY) binaryHim_ = true;
      break;
    case TELNET_EV_WONT:
      if (ev.neg.telopt == TELNET_TELOPT_BINARY) binaryHim_ = false;
      break;
    case TELNET_EV_SUBNEGOTIATION:
      if (ev.sub.telopt == kComPortOption)
        serverCommand(reinterpret_cast<const unsigned char*>(ev.sub.buffer), ev.sub.size);
      break;
    case TELNET_EV_ERROR:
      if (error_.empty()) error_ = ev.error.msg ? ev.error.msg : "Telnet protocol error";
      break;
    default:
      break;  // warnings, and the options we refused
  }
}

void TelnetComPort::serverCommand(const unsigned char* data, size_t size) {
  if (size == 0) return;
  const unsigned char code = data[0];
  if (code == cmdServerOffset + cmdSetBaudrate && size >= 5) {
    serverBaud_ = (uint32_t{data[1]} << 24) | (uint32_t{data[2]} << 16) | (uint32_t{data[3]} << 8) |
                  uint32_t{data[4]};
  } else if (code == cmdServerOffset + cmdSetDatasize && size >= 2) {
    serverDataSize_ = data[1];
  } else if (code == cmdServerOffset + cmdNotifyModemstate && size >= 2) {
    modemState_ = data[1];
  }
}

void TelnetComPort::start() {
  if (!telnet_) return;
  telnet_negotiate(telnet_, TELNET_WILL, kComPortOption);
  telnet_negotiate(telnet_, TELNET_WILL, TELNET_TELOPT_BINARY);
  telnet_negotiate(telnet_, TELNET_DO, TELNET_TELOPT_BINARY);
}

void TelnetComPort::receive(const char* bytes, size_t size) {
  if (!telnet_ || !size) return;
  noteRefusal(reinterpret_cast<const unsigned char*>(bytes), size);
  telnet_recv(telnet_, bytes, size);
}

// libtelnet reports a refusal of an option we asked for by no event, only
// by its silence: the server's DONT COM-PORT-OPTION is seen here, by
// following the commands' framing in the stream.
void TelnetComPort::noteRefusal(const unsigned char* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const unsigned char b = bytes[i];
    switch (scan_) {
      case Scan::Data:
        if (b == TELNET_IAC) scan_ = Scan::Iac;
        break;
      case Scan::Iac:
        if (b == TELNET_SB)
          scan_ = Scan::Sb;
        else if (b == TELNET_WILL || b == TELNET_WONT || b == TELNET_DO || b == TELNET_DONT)
          scan_ = b == TELNET_DONT ? Scan::Dont : Scan::Option;
        else
          scan_ = Scan::Data;  // an escaped 0xFF or a command of its own
        break;
      case Scan::Dont:
        if (b == kComPortOption && control_ != Control::Agreed) control_ = Control::Refused;
        scan_ = Scan::Data;
        break;
      case Scan::Option:
        scan_ = Scan::Data;
        break;
      case Scan::Sb:
        if (b == TELNET_IAC) scan_ = Scan::SbIac;
        break;
      case Scan::SbIac:
        scan_ = b == TELNET_SE ? Scan::Data : Scan::Sb;
        break;
    }
  }
}

void TelnetComPort::sendData(const std::string& data) {
  if (telnet_ && !data.empty()) telnet_send(telnet_, data.data(), data.size());
}

void TelnetComPort::command(unsigned char code, const std::string& value) {
  if (!telnet_) return;
  std::string sub(1, static_cast<char>(code));
  sub += value;
  // libtelnet doubles an IAC inside the sub-negotiation.
  telnet_subnegotiation(telnet_, kComPortOption, sub.data(), sub.size());
}

void TelnetComPort::setLine(const TLineSettings& line) {
  const uint32_t baud = static_cast<uint32_t>(line.baudRate);
  const char rate[4] = {static_cast<char>(baud >> 24), static_cast<char>(baud >> 16),
                        static_cast<char>(baud >> 8), static_cast<char>(baud)};
  command(cmdSetBaudrate, std::string(rate, 4));
  command(cmdSetDatasize, std::string(1, static_cast<char>(line.byteSize)));
  command(cmdSetParity, std::string(1, static_cast<char>(parityCode(line.parity))));
  command(cmdSetStopsize, std::string(1, static_cast<char>(line.stopBits == st2bit ? 2 : 1)));
  unsigned char flow = kFlowNone;
  if (line.flow == fcRTS_CTS) flow = kFlowHardware;
  if (line.flow == fcXON_XOF) flow = kFlowXonXoff;
  if (line.flow == fcDTR_DSR) flow = kFlowDsr;
  command(cmdSetControl, std::string(1, static_cast<char>(flow)));
}

void TelnetComPort::setDtr(bool on) {
  command(cmdSetControl, std::string(1, static_cast<char>(on ? kDtrOn : kDtrOff)));
}

void TelnetComPort::setRts(bool on) {
  command(cmdSetControl, std::string(1, static_cast<char>(on ? kRtsOn : kRtsOff)));
}

std::string TelnetComPort::takeOutput() {
  std::string out;
  out.swap(output_);
  return out;
}

std::string TelnetComPort::takeData() {
  std::string out;
  out.swap(data_);
  return out;
}

}  // namespace tessel
