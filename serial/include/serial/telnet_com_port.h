#pragma once

#include <cstdint>
#include <string>

#include "serial/line_settings.h"

struct telnet_t;
union telnet_event_t;

namespace tessel {

// The client side of a Telnet connection to a serial device server with
// port control (RFC 2217): option negotiation and sub-negotiation through
// libtelnet, binary both ways, IAC doubled in data. No sockets here: bytes
// received go in through receive(), bytes to send come out of takeOutput(),
// so the parser can be tested and fuzzed on its own. Not thread-safe.
class TelnetComPort {
 public:
  // The server's state of the port control option.
  enum class Control { Asked, Agreed, Refused };

  TelnetComPort();
  ~TelnetComPort();
  TelnetComPort(const TelnetComPort&) = delete;
  TelnetComPort& operator=(const TelnetComPort&) = delete;

  // Asks for port control and binary transmission both ways.
  void start();
  // Bytes from the server: serial data goes to takeData(), answers to
  // negotiations to takeOutput().
  void receive(const char* bytes, size_t size);
  // Serial data for the line (IAC doubled).
  void sendData(const std::string& data);
  // The line settings as port control commands: baud rate, data size,
  // parity, stop size, flow control.
  void setLine(const TLineSettings& line);
  void setDtr(bool on);
  void setRts(bool on);

  std::string takeOutput();
  std::string takeData();

  Control control() const { return control_; }
  // Both directions agreed on binary transmission.
  bool binary() const { return binaryUs_ && binaryHim_; }
  // What the server last reported it set (0: nothing yet).
  uint32_t serverBaud() const { return serverBaud_; }
  int serverDataSize() const { return serverDataSize_; }
  // The server's last modem state (RFC 2217 bits: 0x10 CTS, 0x20 DSR, 0x80 CD).
  uint8_t modemState() const { return modemState_; }
  // A protocol error libtelnet could not recover from; empty while fine.
  const std::string& error() const { return error_; }

  // The option and the command codes of RFC 2217.
  static constexpr unsigned char kComPortOption = 44;
  enum Command : unsigned char {
    cmdSignature = 0,
    cmdSetBaudrate = 1,
    cmdSetDatasize = 2,
    cmdSetParity = 3,
    cmdSetStopsize = 4,
    cmdSetControl = 5,
    cmdNotifyLinestate = 6,
    cmdNotifyModemstate = 7,
    cmdServerOffset = 100,  // the server's answers: the command plus 100
  };

 private:
  static void onEvent(telnet_t* telnet, telnet_event_t* event, void* self);
  void event(telnet_event_t& ev);
  void command(unsigned char code, const std::string& value);
  void serverCommand(const unsigned char* data, size_t size);
  void noteRefusal(const unsigned char* bytes, size_t size);

  telnet_t* telnet_ = nullptr;
  std::string output_;
  std::string data_;
  Control control_ = Control::Asked;
  bool binaryUs_ = false;
  bool binaryHim_ = false;
  uint32_t serverBaud_ = 0;
  int serverDataSize_ = 0;
  uint8_t modemState_ = 0;
  std::string error_;
  enum class Scan { Data, Iac, Option, Dont, Sb, SbIac } scan_ = Scan::Data;
};

}  // namespace tessel
