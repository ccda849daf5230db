#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tessel {

// Line-setting enumerations of the serial component (ordinal order fixed).
enum eParity : uint8_t { paNone, paOdd, paEven, paMark, paSpace };
enum eDataBits : uint8_t { d7bit, d8bit };
enum eStopBits : uint8_t { st1bit, st2bit };

// What the link engine uses of the serial component. TSerial implements it;
// engine tests use a scripted fake.
class SerialLink {
 public:
  virtual ~SerialLink() = default;

  virtual bool Active() const = 0;
  virtual void setActive(bool open) = 0;  // reopens when already open
  virtual int Port() const = 0;           // 1..9
  virtual void setPort(int port) = 0;
  virtual int32_t Baudrate() const = 0;
  virtual void setBaudrate(int32_t rate) = 0;
  virtual eParity Parity() const = 0;
  virtual void setParity(eParity parity) = 0;
  virtual eDataBits DataBits() const = 0;
  virtual void setDataBits(eDataBits bits) = 0;
  virtual eStopBits StopBits() const = 0;
  virtual void setStopBits(eStopBits bits) = 0;

  // Sends the bytes as they are; nothing is appended.
  virtual void WriteString(const std::string& text) = 0;
  // 1 and one received 7-bit character in ch, or 0 when none was usable.
  virtual int ReadChar(char& ch) = 0;
  // Runs on the GUI thread whenever characters arrived.
  virtual void setOnRxData(std::function<void()> handler) = 0;
  // Runs once on the GUI thread when the device goes away while open (an
  // unplugged adapter); the port is closed by then and message names the
  // device. Whatever NotifyErrors says, so a caller that silences errors
  // still learns of it. A link without hot-plug never calls it.
  virtual void setOnLineLost(std::function<void(const std::string& message)> handler) {}
  // The last error as a user should read it: for a port that would not open
  // for want of permission or because another program holds it, the device,
  // the reason and what to do. Empty where the link cannot tell.
  virtual std::string LastErrorMessage() const { return std::string(); }
  // When the open device went away since the last open: the device and the
  // reason ("/dev/ttyUSB0: Input/output error"); empty otherwise.
  virtual std::string LineLostText() const { return {}; }
};

}  // namespace tessel
