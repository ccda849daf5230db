#pragma once

// Serves GET /metrics over HTTP (civetweb) with the text a source gives at
// the time of each request; other paths answer 404. Requests are answered
// on the server's own threads, so the source must be safe to call from
// them.
#include <functional>
#include <string>

struct mg_context;
struct mg_connection;

namespace tessel {

// "HOST:PORT" for the server to listen on: HOST an IPv4 address or a name
// that resolves to one, empty or "*" for every interface; PORT 0..65535, 0
// for any free one. False with error for anything else.
bool parseListenAddress(const std::string& text, std::string& host, int& port, std::string& error);

class MetricsServer {
 public:
  using Source = std::function<std::string()>;
  explicit MetricsServer(Source source);
  ~MetricsServer();
  MetricsServer(const MetricsServer&) = delete;
  MetricsServer& operator=(const MetricsServer&) = delete;

  // Listens on address ("HOST:PORT"); false with a message naming the
  // address when it is malformed, does not resolve or cannot be bound.
  bool start(const std::string& address, std::string& error);
  void stop();

  bool running() const { return ctx_ != nullptr; }
  // The port listened on (the one chosen when 0 was asked for).
  int port() const { return port_; }
  // Where a scraper finds the text, e.g. "http://127.0.0.1:9100/metrics".
  std::string url() const;

 private:
  static int handle(mg_connection* conn, void* self);

  Source source_;
  mg_context* ctx_ = nullptr;
  std::string host_;
  int port_ = 0;
};

}  // namespace tessel
