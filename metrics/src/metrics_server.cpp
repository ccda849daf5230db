#include "metrics/metrics_server.h"

#include <arpa/inet.h>
#include <civetweb.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "metrics/exposition.h"

namespace tessel {

namespace {

bool allDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// The IPv4 address host stands for; the civetweb of the distribution
// listens on IPv4 alone.
bool resolveIPv4(const std::string& host, std::string& numeric, std::string& error) {
  if (host.empty() || host == "*") {
    numeric = "0.0.0.0";
    return true;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || !found) {
    error = rc == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(rc);
    return false;
  }
  char text[INET_ADDRSTRLEN] = "";
  ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text,
              sizeof text);
  ::freeaddrinfo(found);
  numeric = text;
  return true;
}

// Why the address cannot be listened on, as the system says it; empty when
// it can. civetweb itself only says that it failed.
std::string bindError(const std::string& numeric, int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::strerror(errno);
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, numeric.c_str(), &a.sin_addr);
  std::string error;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) error = std::strerror(errno);
  ::close(fd);
  return error;
}

}  // namespace

bool parseListenAddress(const std::string& text, std::string& host, int& port, std::string& error) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos) {
    error = "give the metrics address as HOST:PORT, e.g. 127.0.0.1:9100";
    return false;
  }
  host = text.substr(0, colon);
  const std::string p = text.substr(colon + 1);
  if (!host.empty() && (host.front() == '[' || host.find(':') != std::string::npos)) {
    error = "the metrics server listens on IPv4 only; give an IPv4 address or a host name";
    return false;
  }
  if (!allDigits(p) || p.size() > 5 || std::stoi(p) > 65535) {
    error = "the metrics port must be a number from 0 to 65535";
    return false;
  }
  port = std::stoi(p);
  return true;
}

MetricsServer::MetricsServer(Source source) : source_(std::move(source)) {}

MetricsServer::~MetricsServer() {
  stop();
}

bool MetricsServer::start(const std::string& address, std::string& error) {
  stop();
  std::string host, numeric;
  int port = 0;
  if (!parseListenAddress(address, host, port, error)) return false;
  std::string why;
  if (!resolveIPv4(host, numeric, why)) {
    error = "cannot serve metrics on " + address + ": " + host + ": " + why;
    return false;
  }
  if (std::string e = bindError(numeric, port); !e.empty()) {
    error = "cannot serve metrics on " + address + ": " + e;
    return false;
  }
  mg_init_library(0);
  const std::string listen = numeric + ":" + std::to_string(port);
  // Each connection holds one of civetweb's workers until its request is in
  // and answered. Clients that connect and say nothing, or trickle a header
  // line now and then, must not leave a scraper waiting: workers enough for
  // a few of them beside the scrapers, and a bound on the whole time a
  // request may take to arrive (a scraper sends its request at once).
  // Without keep-alive every reply ends its connection, so a scraper's idle
  // connection between two scrapes holds no worker either.
  const char* options[] = {
      "listening_ports",   listen.c_str(), "num_threads", "16", "request_timeout_ms", "2000",
      "enable_keep_alive", "no",           nullptr};
  mg_callbacks callbacks{};
  // Quiet: a refused request is the client's business, not the user's.
  callbacks.log_message = [](const mg_connection*, const char*) { return 1; };
  mg_init_data init{&callbacks, this, options};
  char text[256] = "";
  unsigned code = 0;
  mg_error_data failure{&code, text, sizeof text};
  ctx_ = mg_start2(&init, &failure);
  if (!ctx_) {
    mg_exit_library();
    error =
        "cannot serve metrics on " + address + ": " + (text[0] ? text : "the server did not start");
    return false;
  }
  mg_set_request_handler(ctx_, "/metrics$", &MetricsServer::handle, this);
  mg_server_port ports[1]{};
  port_ = mg_get_server_ports(ctx_, 1, ports) == 1 ? ports[0].port : port;
  host_ = numeric == "0.0.0.0" ? "127.0.0.1" : numeric;
  return true;
}

void MetricsServer::stop() {
  if (!ctx_) return;
  // civetweb's listening thread looks at its stop flag only between waits
  // of two seconds, or when a connection comes: knocking on the port ends
  // the wait, so a monitor or the window closes at once.
  std::atomic<bool> stopped{false};
  std::thread knock([this, &stopped] {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port_));
    ::inet_pton(AF_INET, host_.c_str(), &a.sin_addr);
    while (!stopped) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (fd >= 0) {
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::close(fd);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  mg_stop(ctx_);
  stopped = true;
  knock.join();
  ctx_ = nullptr;
  mg_exit_library();
}

std::string MetricsServer::url() const {
  return "http://" + host_ + ":" + std::to_string(port_) + "/metrics";
}

int MetricsServer::handle(mg_connection* conn, void* self) {
  const mg_request_info* request = mg_get_request_info(conn);
  const bool head = std::strcmp(request->request_method, "HEAD") == 0;
  if (!head && std::strcmp(request->request_method, "GET") != 0) {
    mg_printf(conn,
              "HTTP/1.1 405 Method Not Allowed\r\nAllow: GET, HEAD\r\nContent-Length: 0\r\n"
              "Connection: close\r\n\r\n");
    return 405;
  }
  const std::string body = static_cast<MetricsServer*>(self)->source_();
  mg_send_http_ok(conn, kExpositionContentType, static_cast<long long>(body.size()));
  if (!head) mg_write(conn, body.data(), body.size());
  return 200;
}

}  // namespace tessel
