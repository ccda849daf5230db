#include "serial/net_port.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "serial/net_address.h"
#include "serial/telnet_com_port.h"

namespace tessel {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

std::string systemText(int err) {
  char buffer[256];
  return ::strerror_r(err, buffer, sizeof buffer);  // the GNU form returns the text
}

std::string seconds(int ms) {
  std::string s = std::to_string(ms / 1000);
  if (ms % 1000) s += "." + std::to_string(ms % 1000 / 100);
  return s + " s";
}

}  // namespace

struct NetPort::Connection {
  Connection(GuiDispatcher& g, NetPort* o, NetAddress a, int timeout)
      : gui(g), owner(o), address(std::move(a)), timeoutMs(timeout) {
    wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  }
  ~Connection() {
    if (wake >= 0) ::close(wake);
  }
  bool telnetMode() const { return address.kind == NetAddress::Rfc2217; }
  void kick() {
    uint64_t one = 1;
    if (wake >= 0 && ::write(wake, &one, sizeof one) < 0) {
      // A full counter wakes the thread as well.
    }
  }
  std::string message(const std::string& what) const {
    return "Network port " + address.text + ": " + what;
  }

  GuiDispatcher& gui;
  NetPort* const owner;  // valid while closed is false
  const NetAddress address;
  const int timeoutMs;
  int wake = -1;

  std::mutex m;  // guards what follows, up to the GUI thread's own
  TelnetComPort telnet;
  std::string out;   // bytes for the socket
  std::string held;  // serial data written before the connection was up
  // Serial data received and not yet taken by the port, at most
  // kReceiveLimit: when it is full the thread reads no more from the socket
  // until the port takes it, and TCP holds the server back.
  std::string in;
  bool paused = false;  // the thread waits for room in in
  bool up = false;
  bool stop = false;  // the port let go of it: nothing more is posted
  bool rxPosted = false;
  TLineSettings line;
  bool dtr = true, rts = true;
  bool discard = false;  // closed for the moment: what arrives is dropped

  std::weak_ptr<Connection> self;  // set once, before the thread starts

  // GUI thread only.
  bool closed = false;
  bool parked = false;
  // What the port took from in for the engine to read, and how far it read.
  std::string batch;
  size_t batchPos = 0;
};

namespace {

using Conn = NetPort::Connection;

// Posts fn to the GUI thread unless the port has let the connection go; a
// job that runs after all checks closed first, so owner is alive.
void post(const std::shared_ptr<Conn>& c, std::function<void(Conn&)> fn) {
  std::lock_guard<std::mutex> lock(c->m);
  if (c->stop) return;
  std::weak_ptr<Conn> weak = c;
  c->gui.post([weak, fn = std::move(fn)] {
    auto s = weak.lock();
    if (s && !s->closed) fn(*s);
  });
}

// Sends what is queued; 0, or the errno that ends the connection.
int flush(Conn& c, int fd) {
  std::lock_guard<std::mutex> lock(c.m);
  while (!c.out.empty()) {
    ssize_t n = ::send(fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
    if (n > 0) {
      c.out.erase(0, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    return n < 0 ? errno : EPIPE;
  }
  return 0;
}

// The connection is up: the line as the port has it, then the data held.
void goUp(Conn& c) {
  c.up = true;
  if (c.telnetMode()) {
    c.telnet.setLine(c.line);
    c.telnet.setDtr(c.dtr);
    c.telnet.setRts(c.rts);
    c.telnet.sendData(c.held);
    c.out += c.telnet.takeOutput();
  } else {
    c.out += c.held;
  }
  c.held.clear();
}

class Socket {
 public:
  ~Socket() {
    if (fd >= 0) ::close(fd);
  }
  int fd = -1;
};

// Resolves and connects; "" on success (sock holds the socket), otherwise the
// message. stopped is set when the port let go meanwhile.
std::string connectTo(Conn& c, Clock::time_point deadline, Socket& sock, bool& stopped) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int rc = ::getaddrinfo(c.address.host.c_str(), c.address.service.c_str(), &hints, &found);
  if (rc != 0) {
    const std::string why = rc == EAI_SYSTEM ? systemText(errno) : ::gai_strerror(rc);
    return c.message("the name " + c.address.host + " does not resolve (" + why + ")");
  }
  std::unique_ptr<addrinfo, void (*)(addrinfo*)> hold(found, ::freeaddrinfo);
  int lastErr = ETIMEDOUT;
  for (addrinfo* ai = found; ai; ai = ai->ai_next) {
    if (msLeft(deadline) == 0) {
      lastErr = ETIMEDOUT;
      break;
    }
    Socket s;
    s.fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (s.fd < 0) {
      lastErr = errno;
      continue;
    }
    int err = 0;
    if (::connect(s.fd, ai->ai_addr, ai->ai_addrlen) != 0) err = errno;
    if (err == EINPROGRESS || err == EINTR) {
      pollfd fds[2] = {{s.fd, POLLOUT, 0}, {c.wake, POLLIN, 0}};
      for (;;) {
        int r = ::poll(fds, 2, msLeft(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
          err = errno;
          break;
        }
        if (fds[1].revents) {
          std::lock_guard<std::mutex> lock(c.m);
          if (c.stop) {
            stopped = true;
            return {};
          }
          uint64_t n;
          while (::read(c.wake, &n, sizeof n) > 0) {
          }
          continue;
        }
        if (r == 0) {
          err = ETIMEDOUT;
          break;
        }
        socklen_t len = sizeof err;
        if (::getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
        break;
      }
    }
    if (err == 0) {
      int one = 1;
      ::setsockopt(s.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      ::setsockopt(s.fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
      std::swap(sock.fd, s.fd);
      return {};
    }
    lastErr = err;
  }
  if (lastErr == ETIMEDOUT) return c.message("no connection within " + seconds(c.timeoutMs));
  if (lastErr == ECONNREFUSED)
    return c.message("the connection was refused (is the device server running, on that port?)");
  return c.message("cannot connect (" + systemText(lastErr) + ")");
}

// Reads what the socket holds, up to room bytes, and hands the serial data
// in it to the port (arrived: the port is to be told); the message when that
// ends the connection, else "".
std::string receive(Conn& c, int fd, size_t room, bool& arrived) {
  bool closedByServer = false;
  int err = 0;
  std::string bytes;
  // A reply comes in small pieces; a server that holds the next piece
  // until the last is acknowledged (Nagle) would otherwise wait out our
  // delayed acknowledgement, some 40 ms a reply.
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
  char buffer[4096];
  while (bytes.size() < room) {
    const ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, room - bytes.size()), 0);
    if (n > 0) {
      bytes.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n == 0) closedByServer = true;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) err = errno;
    break;
  }
  std::string problem;
  arrived = false;
  {
    std::lock_guard<std::mutex> lock(c.m);
    std::string data;
    if (c.telnetMode()) {
      c.telnet.receive(bytes.data(), bytes.size());
      if (!c.telnet.error().empty()) {
        problem = c.message("Telnet protocol error (" + c.telnet.error() + ")");
      } else if (c.telnet.control() == TelnetComPort::Control::Refused) {
        problem = c.message(
            "the server does not offer serial port control (RFC 2217); for a raw port use "
            "tcp://" +
            c.address.host + ":" + c.address.service);
      } else if (!c.up && c.telnet.control() == TelnetComPort::Control::Agreed) {
        goUp(c);
      }
      c.out += c.telnet.takeOutput();
      data = c.telnet.takeData();  // never more than the bytes it came in
    } else {
      data.swap(bytes);
    }
    if (!data.empty() && !c.discard) {
      c.in += data;
      arrived = !c.rxPosted;
      c.rxPosted = true;
    }
  }
  if (problem.empty() && closedByServer) problem = c.message("the server closed the connection");
  if (problem.empty() && err)
    problem = c.message("the connection was lost (" + systemText(err) + ")");
  return problem;
}

}  // namespace

// The connection's thread: connects, then moves bytes both ways until the
// port lets go or the connection ends. It owns the socket.
void NetPort::run(std::shared_ptr<Connection> c) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(c->timeoutMs);
  const auto fail = [&c](const std::string& message) {
    post(c, [message](Conn& s) { s.owner->failed(s.self.lock(), message); });
  };
  Socket sock;
  bool stopped = false;
  const std::string failure = connectTo(*c, deadline, sock, stopped);
  if (stopped) return;
  if (!failure.empty()) {
    fail(failure);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(c->m);
    if (c->telnetMode()) {
      c->telnet.start();
      c->out += c->telnet.takeOutput();
    } else {
      goUp(*c);
    }
  }
  for (;;) {
    bool wantOut, up;
    size_t room;
    {
      std::lock_guard<std::mutex> lock(c->m);
      if (c->stop) break;
      wantOut = !c->out.empty();
      up = c->up;
      room = c->in.size() < kReceiveLimit ? kReceiveLimit - c->in.size() : 0;
      c->paused = room == 0;
    }
    // With no room the socket is left alone (a hang-up is seen once there
    // is room again, as a local port's is once its bytes are read).
    const short events = static_cast<short>((room ? POLLIN : 0) | (wantOut ? POLLOUT : 0));
    pollfd fds[2] = {{events ? sock.fd : -1, events, 0}, {c->wake, POLLIN, 0}};
    const int r = ::poll(fds, 2, up ? -1 : msLeft(deadline));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      fail(c->message("the connection failed (" + systemText(errno) + ")"));
      return;
    }
    if (r == 0) {  // only while waiting for the server's agreement
      fail(c->message("the server did not agree to serial port control (RFC 2217) within " +
                      seconds(c->timeoutMs) + "; for a raw port use tcp://"));
      return;
    }
    if (fds[1].revents) {
      uint64_t n;
      while (::read(c->wake, &n, sizeof n) > 0) {
      }
    }
    if (room && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
      bool arrived = false;
      const std::string problem = receive(*c, sock.fd, room, arrived);
      if (arrived) post(c, [](Conn& s) { s.owner->received(s.self.lock()); });
      if (!problem.empty()) {
        flush(*c, sock.fd);  // the refusal's answers, as a courtesy
        fail(problem);
        return;
      }
    }
    if (int err = flush(*c, sock.fd)) {
      fail(c->message("the connection was lost (" + systemText(err) + ")"));
      return;
    }
  }
  // Let go: what was queued last (DTR and RTS dropped) still goes out.
  flush(*c, sock.fd);
}

NetPort::NetPort(GuiDispatcher& gui) : gui_(gui) {}

NetPort::~NetPort() {
  drop(conn_);
  drop(parked_);
}

void NetPort::setAddress(const std::string& address) {
  if (address == address_) return;
  const bool wasOpen = Active();
  if (wasOpen) close();
  drop(parked_);  // never reused for another address
  address_ = address;
  if (wasOpen) open();
}

bool NetPort::Active() const {
  return conn_ != nullptr;
}

bool NetPort::Connected() const {
  if (!conn_) return false;
  std::lock_guard<std::mutex> lock(conn_->m);
  return conn_->up;
}

uint32_t NetPort::ServerBaudrate() const {
  if (!conn_) return 0;
  std::lock_guard<std::mutex> lock(conn_->m);
  return conn_->telnet.serverBaud();
}

void NetPort::setActive(bool open) {
  if (open == Active()) return;
  if (open)
    this->open();
  else
    close();
}

void NetPort::open() {
  NetAddress address;
  std::string error;
  if (!parseNetAddress(address_, address, error)) {
    lastMessage_ = error;
    return;
  }
  lineLost_.clear();
  if (parked_ && parked_->address.text == address.text) {
    // Reopened at once: the same connection, the line as now set, DTR and
    // RTS up again.
    conn_ = std::move(parked_);
    conn_->parked = false;
    conn_->batch.clear();
    conn_->batchPos = 0;
    {
      std::lock_guard<std::mutex> lock(conn_->m);
      conn_->discard = false;
      conn_->in.clear();
      conn_->line = line_;
      conn_->dtr = conn_->rts = true;
      if (conn_->up && conn_->telnetMode()) {
        conn_->telnet.setLine(line_);
        conn_->telnet.setDtr(true);
        conn_->telnet.setRts(true);
        conn_->out += conn_->telnet.takeOutput();
      }
    }
    conn_->kick();
    return;
  }
  drop(parked_);
  auto c = std::make_shared<Connection>(gui_, this, address, connectTimeoutMs_);
  c->self = c;
  c->line = line_;
  if (c->wake < 0) {
    lastMessage_ = c->message("cannot start (" + systemText(errno) + ")");
    return;
  }
  try {
    std::thread(&NetPort::run, c).detach();
  } catch (const std::system_error& e) {
    lastMessage_ = c->message(std::string("cannot start (") + e.what() + ")");
    return;
  }
  conn_ = std::move(c);
}

void NetPort::close() {
  if (!conn_) return;
  drop(parked_);
  parked_ = std::move(conn_);
  parked_->parked = true;
  {
    std::lock_guard<std::mutex> lock(parked_->m);
    parked_->discard = true;  // a closed port receives nothing
    parked_->dtr = parked_->rts = false;
    parked_->in.clear();
    if (parked_->up && parked_->telnetMode()) {
      parked_->telnet.setDtr(false);
      parked_->telnet.setRts(false);
      parked_->out += parked_->telnet.takeOutput();
    } else if (!parked_->up) {
      parked_->held.clear();  // what a closed port was to send is not sent
    }
  }
  parked_->kick();
  // Not reopened before the GUI thread turns: let it go.
  std::weak_ptr<Connection> weak = parked_;
  gui_.post([weak] {
    auto c = weak.lock();
    if (c && !c->closed && c->parked) c->owner->drop(c->owner->parked_);
  });
}

void NetPort::drop(std::shared_ptr<Connection>& c) {
  if (!c) return;
  c->closed = true;
  {
    std::lock_guard<std::mutex> lock(c->m);
    c->stop = true;
  }
  c->kick();
  c.reset();
}

void NetPort::setLine(const TLineSettings& line) {
  line_ = line;
  pushLine();
}

void NetPort::pushLine() {
  if (!conn_) return;
  {
    std::lock_guard<std::mutex> lock(conn_->m);
    conn_->line = line_;
    if (!conn_->up || !conn_->telnetMode()) return;
    conn_->telnet.setLine(line_);
    conn_->out += conn_->telnet.takeOutput();
  }
  conn_->kick();
}

void NetPort::setBaudrate(int32_t rate) {
  line_.baudRate = rate;
  pushLine();
}

void NetPort::setParity(eParity parity) {
  line_.parity = parity;
  pushLine();
}

void NetPort::setDataBits(eDataBits bits) {
  line_.byteSize = bits == d8bit ? 8 : 7;
  pushLine();
}

void NetPort::setStopBits(eStopBits bits) {
  line_.stopBits = bits;
  pushLine();
}

void NetPort::WriteString(const std::string& text) {
  if (!conn_ || text.empty()) return;
  {
    std::lock_guard<std::mutex> lock(conn_->m);
    if (!conn_->up)
      conn_->held += text;
    else if (conn_->telnetMode()) {
      conn_->telnet.sendData(text);
      conn_->out += conn_->telnet.takeOutput();
    } else {
      conn_->out += text;
    }
  }
  conn_->kick();
}

int NetPort::ReadChar(char& ch) {
  if (!conn_) return 0;
  Connection& c = *conn_;
  while (c.batchPos < c.batch.size()) {
    const auto byte = static_cast<unsigned char>(c.batch[c.batchPos++]);
    if (byte < 0x80) {  // only 7-bit characters are delivered, as on a local port
      ch = static_cast<char>(byte);
      return 1;
    }
  }
  // What came after the receive event comes with the next one: a port that
  // keeps receiving hands the engine a batch at a time and the loop turns in
  // between.
  bool ask;
  {
    std::lock_guard<std::mutex> lock(c.m);
    ask = !c.in.empty() && !c.rxPosted;
    if (ask) c.rxPosted = true;
  }
  if (ask) post(conn_, [](Conn& s) { s.owner->received(s.self.lock()); });
  return 0;
}

// Takes what arrived, once the engine read the last batch.
void NetPort::take(Connection& c) {
  if (c.batchPos < c.batch.size()) return;
  bool wasPaused;
  {
    std::lock_guard<std::mutex> lock(c.m);
    c.batch.swap(c.in);
    c.in.clear();
    c.batchPos = 0;
    wasPaused = c.paused;
  }
  if (wasPaused) c.kick();
}

void NetPort::received(const std::shared_ptr<Connection>& c) {
  if (!c) return;
  {
    std::lock_guard<std::mutex> lock(c->m);
    c->rxPosted = false;
  }
  if (c != conn_) return;
  take(*c);
  auto handler = onRxData_;  // the handler may replace itself
  if (handler) handler();
}

void NetPort::failed(const std::shared_ptr<Connection>& c, const std::string& message) {
  if (!c) return;
  if (c == parked_) {  // closed already: nobody waits for it
    drop(parked_);
    return;
  }
  if (c != conn_) return;
  drop(conn_);
  lastMessage_ = message;
  lineLost_ = message;
  auto handler = onLineLost_;  // the handler may replace itself or free the port
  if (handler) handler(message);
}

}  // namespace tessel
