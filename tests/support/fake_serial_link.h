#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "serial/serial_link.h"

namespace tessel::testing {

// A serial port that records every write with the time and the line settings
// in force, and delivers scripted replies through the receive handler as the
// event thread would. Replies queued by a responder are delivered by pump(),
// never inside WriteString, as a real port would.
class FakeSerialLink : public SerialLink {
 public:
  struct Write {
    std::string bytes;
    long timeMs;
    int port;
    int32_t baud;
    eParity parity;
    eDataBits dataBits;
    eStopBits stopBits;
  };

  // Time source for the records (usually the fake timer's clock).
  std::function<long()> clock = [] { return 0L; };
  // Called with each written text less its final CR; may queue replies.
  std::function<void(const std::string&)> responder;
  // Ports that fail to open; all others open.
  std::set<int> unavailable;
  // What LineLostText reports.
  std::string lineLost;
  // What LastErrorMessage reports.
  std::string lastError;

  bool Active() const override { return active_; }
  void setActive(bool open) override {
    active_ = open && unavailable.count(port_) == 0;
    if (open) ++openAttempts;
  }
  int Port() const override { return port_; }
  void setPort(int port) override { port_ = port; }
  int32_t Baudrate() const override { return baud_; }
  void setBaudrate(int32_t rate) override { baud_ = rate; }
  eParity Parity() const override { return parity_; }
  void setParity(eParity parity) override { parity_ = parity; }
  eDataBits DataBits() const override { return dataBits_; }
  void setDataBits(eDataBits bits) override { dataBits_ = bits; }
  eStopBits StopBits() const override { return stopBits_; }
  void setStopBits(eStopBits bits) override { stopBits_ = bits; }

  void WriteString(const std::string& text) override {
    writes.push_back({text, clock(), port_, baud_, parity_, dataBits_, stopBits_});
    if (responder) {
      std::string line = text;
      while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
      responder(line);
    }
  }
  int ReadChar(char& ch) override {
    if (rx_.empty()) return 0;
    ch = rx_.front();
    rx_.pop_front();
    return 1;
  }
  void setOnRxData(std::function<void()> handler) override { onRx_ = std::move(handler); }
  std::string LineLostText() const override { return lineLost; }
  std::string LastErrorMessage() const override { return lastError; }
  void setOnLineLost(std::function<void(const std::string&)> handler) override {
    onLost_ = std::move(handler);
  }

  // The adapter is pulled: the port closes, opening it fails until plug(),
  // and the handler is told once, as the real link does.
  void pull(const std::string& message) {
    active_ = false;
    unavailable.insert(port_);
    pending_.clear();
    if (onLost_) onLost_(message);
  }
  void plug() { unavailable.erase(port_); }

  // Bytes arrive now and the handler runs.
  void receive(const std::string& bytes) {
    rx_.insert(rx_.end(), bytes.begin(), bytes.end());
    if (onRx_) onRx_();
  }
  // Queues a reply for the next pump().
  void queueReply(const std::string& bytes) { pending_.push_back(bytes); }
  // Delivers queued replies, one batch per reply, until none is left.
  int pump(int limit = 10000) {
    int n = 0;
    while (!pending_.empty() && n < limit) {
      std::string bytes = pending_.front();
      pending_.pop_front();
      receive(bytes);
      ++n;
    }
    return n;
  }
  bool hasPending() const { return !pending_.empty(); }

  // The written texts, each without its final carriage return.
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    for (const auto& w : writes) {
      std::string t = w.bytes;
      if (!t.empty() && t.back() == '\r') t.pop_back();
      out.push_back(t);
    }
    return out;
  }
  void clearWrites() { writes.clear(); }

  std::vector<Write> writes;
  int openAttempts = 0;

 private:
  bool active_ = false;
  int port_ = 1;
  int32_t baud_ = 9600;
  eParity parity_ = paNone;
  eDataBits dataBits_ = d8bit;
  eStopBits stopBits_ = st1bit;
  std::deque<char> rx_;
  std::deque<std::string> pending_;
  std::function<void()> onRx_;
  std::function<void(const std::string&)> onLost_;
};

}  // namespace tessel::testing
