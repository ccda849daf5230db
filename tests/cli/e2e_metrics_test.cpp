// tessel-cli monitor --metrics scraped by a real Prometheus server: the
// simulated group is monitored, Prometheus scrapes the monitor, and its
// query API answers with a radio's RSSI and a missing radio's missed polls.
#include <gtest/gtest.h>
#include <spawn.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "cli_e2e_fixture.h"
#include "http_get.h"

extern char** environ;

using namespace tessel::testing;
namespace fs = std::filesystem;

namespace {

// The Debian package's server, its output in a file; killed at the end of
// the test whatever happened.
class PrometheusServer {
 public:
  PrometheusServer(const std::string& dir, int port, const std::string& target) {
    const std::string config = dir + "/prometheus.yml";
    std::ofstream(config) << "global:\n"
                             "  scrape_interval: 500ms\n"
                             "  scrape_timeout: 500ms\n"
                             "scrape_configs:\n"
                             "  - job_name: tessel\n"
                             "    static_configs:\n"
                             "      - targets: ['"
                          << target << "']\n";
    log_ = dir + "/prometheus.log";
    std::vector<std::string> args = {
        "prometheus", "--config.file=" + config, "--storage.tsdb.path=" + dir + "/tsdb",
        "--web.listen-address=127.0.0.1:" + std::to_string(port), "--log.level=warn"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    if (posix_spawnp(&pid_, "prometheus", &files, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&files);
  }
  ~PrometheusServer() { stop(); }
  bool started() const { return pid_ > 0; }
  // Ends the server; its exit status (-1 when it had to be killed).
  int stop() {
    if (pid_ <= 0) return status_;
    ::kill(pid_, SIGTERM);
    status_ = -1;
    for (int i = 0; i < 200; ++i) {
      int st = 0;
      if (::waitpid(pid_, &st, WNOHANG) == pid_) {
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        pid_ = -1;
        return status_;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return status_;
  }
  std::string log() const {
    std::ifstream in(log_);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  std::string log_;
};

// The sample value of the first series of a query's answer, with its
// labels; none while the answer holds no series.
std::optional<std::string> firstValue(const std::string& json, std::string& labels) {
  const auto metric = json.find("\"metric\":{");
  const auto value = json.find("\"value\":[");
  if (metric == std::string::npos || value == std::string::npos) return std::nullopt;
  labels = json.substr(metric, json.find('}', metric) - metric);
  const auto open = json.find('"', json.find(',', value));
  return json.substr(open + 1, json.find('"', open + 1) - open - 1);
}

TEST_F(CliProcessTest, PrometheusScrapesTheMonitorsReadings) {
  const std::string simProject = file("radios.vro");
  writeGroup(simProject, 4, {0, 1});
  std::unique_ptr<Process> sim;
  const std::string device = startSim(sim, {"--project", simProject, "--command-mode"});
  ASSERT_FALSE(device.empty());
  // The configurator's project also holds radio 9, which no radio answers.
  const std::string project = file("group.vro");
  fs::copy_file(simProject, project);
  std::ofstream(project, std::ios::app) << "[Radio9]\nRadio Name=Ghost\nRadio Mode=Slave\n";

  // As fast as the replies come; the interval only times out an exchange,
  // long enough that a busy machine does not lose the local radio.
  Process mon({"monitor", project, device, "--fast", "--interval", "0.5", "--metrics",
               "127.0.0.1:0", "--timeout", "120"},
              dir_);
  const std::string told = "tessel-cli: metrics at http://127.0.0.1:";
  for (int i = 0; i < 100 && mon.err().find("/metrics\n") == std::string::npos; ++i)
    mon.readLine(100);
  const auto at = mon.err().find(told);
  ASSERT_NE(at, std::string::npos) << mon.err();
  const int metricsPort = std::stoi(mon.err().substr(at + told.size()));

  const int port = freePort();
  PrometheusServer prometheus(dir_, port, "127.0.0.1:" + std::to_string(metricsPort));
  ASSERT_TRUE(prometheus.started());
  auto query = [port](const std::string& q) {
    return httpGet(port, "/api/v1/query?query=" + q).body;
  };
  // Until a scrape has stored the RSSI of radio 2 and radio 9's missed
  // polls; Prometheus starts and scrapes within seconds.
  std::string labels, missedLabels;
  std::optional<std::string> rssi, missed;
  for (auto end = Clock::now() + std::chrono::seconds(60); Clock::now() < end;) {
    rssi = firstValue(query("tessel_radio_rssi_dbm%7Bradio_id%3D%222%22%7D"), labels);
    missed = firstValue(query("tessel_radio_polls_missed_total%7Bradio_id%3D%229%22%7D%3E0"),
                        missedLabels);
    if (rssi && missed) break;
    mon.readLine(200);
  }
  ASSERT_TRUE(rssi.has_value()) << prometheus.log() << mon.err();
  EXPECT_GT(std::stod(*rssi), -120);
  EXPECT_LT(std::stod(*rssi), -30);
  EXPECT_NE(labels.find("\"name\":\"Radio 002\""), std::string::npos) << labels;
  EXPECT_NE(labels.find("\"model\":\"Vireo Version 2\""), std::string::npos) << labels;
  EXPECT_NE(labels.find("\"job\":\"tessel\""), std::string::npos) << labels;
  ASSERT_TRUE(missed.has_value()) << prometheus.log();
  EXPECT_NE(missedLabels.find("\"name\":\"Ghost\""), std::string::npos) << missedLabels;
  // The missing radio has no reading to show, not a 0.
  std::string none;
  EXPECT_FALSE(firstValue(query("tessel_radio_rssi_dbm%7Bradio_id%3D%229%22%7D"), none)) << none;

  EXPECT_EQ(prometheus.stop(), 0) << prometheus.log();
  mon.signal(SIGINT);
  EXPECT_EQ(mon.wait(10000), 0) << mon.err();
  EXPECT_NE(mon.out().find(",2,Radio 002,"), std::string::npos) << "the CSV lines as ever";
  sim->signal(SIGTERM);
  sim->wait(5000);
}

// An address that cannot be served ends the command before it polls: a
// malformed one as wrong usage, a port in use with the reason.
TEST_F(CliProcessTest, MetricsAddressesThatCannotBeServedAreRefused) {
  const std::string project = file("group.vro");
  writeGroup(project, 2, {0});
  Process malformed({"monitor", project, "/dev/null", "--metrics", "9100"}, dir_);
  EXPECT_EQ(malformed.wait(5000), 2);
  EXPECT_NE(malformed.err().find("HOST:PORT"), std::string::npos) << malformed.err();

  const int busy = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(::bind(busy, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(busy, 1), 0);
  ASSERT_EQ(::getsockname(busy, reinterpret_cast<sockaddr*>(&a), &len), 0);
  const std::string address = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
  Process taken({"monitor", project, "/dev/null", "--metrics", address}, dir_);
  EXPECT_EQ(taken.wait(5000), 1);
  EXPECT_EQ(taken.err(),
            "tessel-cli: cannot serve metrics on " + address + ": Address already in use\n");
  ::close(busy);
}

}  // namespace
