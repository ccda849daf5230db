#pragma once

#include <functional>
#include <memory>
#include <string>

#include "serial/gui_dispatcher.h"
#include "serial/line_settings.h"
#include "serial/serial_link.h"

namespace tessel {

// A serial port behind a device server: "rfc2217://HOST:PORT" speaks Telnet
// with port control, so the line settings, the flow control and DTR/RTS
// reach the far port; "tcp://HOST:PORT" carries the bytes alone. The engine
// uses it as any serial link.
//
// An open returns at once and the port counts as active while it connects
// (name lookup, TCP, the server's agreement to port control, all on a thread
// of the connection); what is written meanwhile goes out once it is up. A
// connect that fails, or a server that drops the connection, closes the port
// and reports once through OnLineLost, with a message naming the address.
// All calls belong on the GUI thread.
class NetPort : public SerialLink {
 public:
  // What the port holds of the received bytes the engine has not read:
  // about what a local port's driver holds. A server that sends faster than
  // the engine reads is held back by TCP, not buffered without end, and the
  // engine is handed the bytes a batch at a time.
  static constexpr size_t kReceiveLimit = 64 * 1024;

  explicit NetPort(GuiDispatcher& gui);
  ~NetPort() override;
  NetPort(const NetPort&) = delete;
  NetPort& operator=(const NetPort&) = delete;

  // Where the next open connects to.
  void setAddress(const std::string& address);
  const std::string& Address() const { return address_; }
  // The bound on a connect: name lookup, TCP and the agreement to port
  // control. 5 s unless set.
  void setConnectTimeout(int ms) { connectTimeoutMs_ = ms; }
  // All line settings at once; an open port takes them without reconnecting.
  void setLine(const TLineSettings& line);
  const TLineSettings& Line() const { return line_; }
  // The connection is up (and, over RFC 2217, the server agreed to port
  // control); false while connecting and while closed.
  bool Connected() const;
  // The baud rate the server last reported it set (RFC 2217; 0: none yet).
  uint32_t ServerBaudrate() const;

  // SerialLink
  bool Active() const override;
  void setActive(bool open) override;
  int Port() const override { return port_; }
  void setPort(int port) override { port_ = port; }
  int32_t Baudrate() const override { return line_.baudRate; }
  void setBaudrate(int32_t rate) override;
  eParity Parity() const override { return line_.parity; }
  void setParity(eParity parity) override;
  eDataBits DataBits() const override { return line_.byteSize == 8 ? d8bit : d7bit; }
  void setDataBits(eDataBits bits) override;
  eStopBits StopBits() const override { return line_.stopBits; }
  void setStopBits(eStopBits bits) override;
  void WriteString(const std::string& text) override;
  int ReadChar(char& ch) override;
  void setOnRxData(std::function<void()> handler) override { onRxData_ = std::move(handler); }
  void setOnLineLost(std::function<void(const std::string& message)> handler) override {
    onLineLost_ = std::move(handler);
  }
  std::string LastErrorMessage() const override { return lastMessage_; }
  std::string LineLostText() const override { return lineLost_; }

  struct Connection;  // one connect and its thread

 private:
  void open();
  // A close keeps the connection for a moment (DTR and RTS dropped), so the
  // close and open of a change of line settings does not reconnect.
  void close();
  void drop(std::shared_ptr<Connection>& c);
  void pushLine();
  // The connection's thread.
  static void run(std::shared_ptr<Connection> c);
  void received(const std::shared_ptr<Connection>& c);
  void take(Connection& c);
  void failed(const std::shared_ptr<Connection>& c, const std::string& message);

  GuiDispatcher& gui_;
  std::string address_;
  int connectTimeoutMs_ = 5000;
  int port_ = 1;
  TLineSettings line_;
  std::shared_ptr<Connection> conn_;    // the open port's
  std::shared_ptr<Connection> parked_;  // closed a moment ago
  std::function<void()> onRxData_;
  std::function<void(const std::string&)> onLineLost_;
  std::string lastMessage_;
  std::string lineLost_;
};

}  // namespace tessel
