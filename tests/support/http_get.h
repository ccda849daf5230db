#pragma once

// A plain HTTP/1.0 request to a local server, for tests of what servers
// answer; every wait is bounded.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace tessel::testing {

struct HttpReply {
  int status = 0;  // 0: no answer
  std::string headers;
  std::string body;
};

inline HttpReply httpRequest(int port, const std::string& method, const std::string& path,
                             int timeoutMs = 5000) {
  HttpReply reply;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return reply;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return reply;
  }
  const std::string request =
      method + " " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  (void)!::write(fd, request.data(), request.size());
  std::string all;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    all.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  const auto split = all.find("\r\n\r\n");
  if (all.compare(0, 5, "HTTP/") != 0 || split == std::string::npos) return reply;
  reply.status = std::stoi(all.substr(all.find(' ') + 1, 3));
  reply.headers = all.substr(0, split);
  reply.body = all.substr(split + 4);
  return reply;
}

inline HttpReply httpGet(int port, const std::string& path) {
  return httpRequest(port, "GET", path);
}

// A port nothing listens on now (the system's pick of a free one).
inline int freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(fd);
  return port;
}

}  // namespace tessel::testing
