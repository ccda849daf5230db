// A build without the /metrics endpoint (one for a system whose Debian
// packages have no civetweb for it): asking for it is refused with the
// reason, before any command starts.
#include "metrics/metrics_server.h"

namespace tessel {

namespace {

const char* const kAbsent =
    "this build of the program has no metrics endpoint (--metrics); run the monitor without it";

}  // namespace

bool parseListenAddress(const std::string& text, std::string& host, int& port, std::string& error) {
  error = kAbsent;
  return false;
}

MetricsServer::MetricsServer(Source source) : source_(std::move(source)) {}

MetricsServer::~MetricsServer() = default;

bool MetricsServer::start(const std::string& address, std::string& error) {
  error = kAbsent;
  return false;
}

void MetricsServer::stop() {}

std::string MetricsServer::url() const {
  return std::string();
}

}  // namespace tessel
