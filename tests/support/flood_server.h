#pragma once

// A TCP server on a free loopback port that sends its first client bytes
// without a line end, as fast as the client takes them, until it goes; what
// it sends follows byteAt(), so the client can check that none was lost.
// A silent one takes the client and sends nothing: the same program's
// footprint without the flood.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>
#include <thread>

namespace tessel::testing {

class FloodServer {
 public:
  enum class Mode { Flood, Silent };
  explicit FloodServer(Mode mode = Mode::Flood) : mode_(mode) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::listen(listen_, 1) == 0 &&
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~FloodServer() {
    stop_ = true;
    thread_.join();
    ::close(listen_);
  }
  FloodServer(const FloodServer&) = delete;
  FloodServer& operator=(const FloodServer&) = delete;

  std::string address() const { return "tcp://127.0.0.1:" + std::to_string(port_); }
  // Bytes handed to the connection so far (the kernel's buffers hold some).
  uint64_t sent() const { return sent_; }
  // The byte at offset i of the stream: 7-bit, never CR or LF.
  static char byteAt(uint64_t i) { return static_cast<char>('A' + i % kPeriod); }

 private:
  static constexpr int kPeriod = 23;

  // Waits up to 50 ms for fd to be ready for events; false once stopped.
  bool ready(int fd, short events) {
    pollfd p{fd, events, 0};
    while (!stop_) {
      if (::poll(&p, 1, 50) > 0) return true;
    }
    return false;
  }

  void serve() {
    if (!ready(listen_, POLLIN)) return;
    const int client = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0) return;
    if (mode_ == Mode::Silent) {
      while (!stop_) ::poll(nullptr, 0, 50);
      ::close(client);
      return;
    }
    // Whole periods, so the stream goes on where each send stopped.
    std::string chunk(kPeriod * 2849, '\0');
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = byteAt(i);
    size_t at = 0;
    while (ready(client, POLLOUT)) {
      const ssize_t n = ::send(client, chunk.data() + at, chunk.size() - at, MSG_NOSIGNAL);
      if (n < 0 && errno != EAGAIN && errno != EINTR) break;  // the client went
      if (n <= 0) continue;
      sent_ += static_cast<uint64_t>(n);
      at = (at + static_cast<size_t>(n)) % chunk.size();
    }
    ::close(client);
  }

  Mode mode_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> sent_{0};
  std::thread thread_;
};

}  // namespace tessel::testing
