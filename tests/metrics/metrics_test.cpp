// The monitor's metrics: what the registry makes of the engine's progress,
// the text a monitoring server reads (checked by its own promtool), the
// HTTP endpoint and the sample alert rule.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../model/model_fixture.h"
#include "http_get.h"
#include "metrics/exposition.h"
#include "metrics/metrics_server.h"
#include "metrics/monitor_metrics.h"

namespace tessel {
namespace {

// Runs a shell command with text on its standard input; its exit status,
// with what it printed in out.
int runWithInput(const std::string& command, const std::string& input, const std::string& dir,
                 std::string& out) {
  const std::string in = dir + "/stdin.txt", log = dir + "/out.txt";
  std::ofstream(in, std::ios::binary) << input;
  const int rc = std::system((command + " < '" + in + "' > '" + log + "' 2>&1").c_str());
  std::ifstream f(log);
  std::stringstream s;
  s << f.rdbuf();
  out = s.str();
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

class MonitorMetricsTest : public ModelTest {
 protected:
  // The value of metric's sample for radio (all samples of the family when
  // radio is negative: the first), or none when the text has none.
  std::optional<double> sample(const std::string& metric, int radio = -1) const {
    std::istringstream in(metrics.exposition());
    std::string line;
    const std::string id = "radio_id=\"" + std::to_string(radio) + "\"";
    while (std::getline(in, line)) {
      if (line.compare(0, metric.size() + 1, metric + "{") != 0 &&
          line.compare(0, metric.size() + 1, metric + " ") != 0)
        continue;
      if (radio >= 0 && line.find(id) == std::string::npos) continue;
      return std::stod(line.substr(line.rfind(' ') + 1));
    }
    return std::nullopt;
  }
  // A poll as the engine reports it: the dial, the radio's replies, the end.
  void poll(int radio, const char* rssi, const char* volts, const char* temp) {
    values.beginReplies();
    metrics.dialling(radio);
    reply(1, std::to_string(radio));
    reply(10, rssi);
    reply(16, volts);
    reply(17, temp);
    metrics.radioPolled(radio);
  }

  double now = 1000;
  MonitorMetrics metrics{window, [this] { return now; }};
};

TEST_F(MonitorMetricsTest, PollsMissesAndReadingsAsTheMonitorReportsThem) {
  put("[Project]\nGroup ID=7\n[Radio1]\nRadio Name=Pump\nRadio Mode=Master\nRadio Model=Vireo "
      "E\n[Radio2]\nRadio Name=Tank\n[Radio3]\nRadio Name=Well\n");
  open(wmMonitor);
  metrics.taskChanged(tkLocalOnly, tkMonitor);
  EXPECT_EQ(sample("tessel_monitor_running"), 1);
  EXPECT_EQ(sample("tessel_radio_polls_missed_total", 2), 0) << "every radio from the start";

  poll(1, "-61", "124", "25");
  now = 1001;
  metrics.dialling(2);
  metrics.dialling(2);  // asked again: the same poll
  now = 1004;
  poll(3, "-80", "", " x7");  // a reading left empty or garbled is no reading
  now = 1005;
  metrics.dialling(1);  // the second round: radio 1 stays silent
  now = 1008;
  poll(2, "-70", "118", "30");
  now = 1010;

  EXPECT_EQ(sample("tessel_radio_rssi_dbm", 1), -61) << "kept after a missed poll";
  EXPECT_EQ(sample("tessel_radio_supply_volts", 1), 12.4);
  EXPECT_EQ(sample("tessel_radio_temperature_celsius", 1), 25);
  EXPECT_EQ(sample("tessel_radio_last_answer_timestamp_seconds", 1), 1000);
  EXPECT_EQ(sample("tessel_radio_last_answer_age_seconds", 1), 10);
  EXPECT_EQ(sample("tessel_radio_polls_answered_total", 1), 1);
  EXPECT_EQ(sample("tessel_radio_polls_missed_total", 1), 1);
  EXPECT_EQ(sample("tessel_radio_polls_answered_total", 2), 1);
  EXPECT_EQ(sample("tessel_radio_polls_missed_total", 2), 1) << "its retries are one poll";
  EXPECT_EQ(sample("tessel_radio_rssi_dbm", 3), -80);
  EXPECT_EQ(sample("tessel_radio_supply_volts", 3), std::nullopt) << "not 0";
  EXPECT_EQ(sample("tessel_radio_temperature_celsius", 3), std::nullopt);
  EXPECT_EQ(sample("tessel_monitor_round_duration_seconds"), 5);
  EXPECT_EQ(sample("tessel_monitor_rounds_total"), 1);
  EXPECT_EQ(sample("tessel_monitor_radios_answering"), 2);
  const std::string text = metrics.exposition();
  EXPECT_NE(
      text.find(
          "tessel_radio_rssi_dbm{group_id=\"7\",radio_id=\"1\",name=\"Pump\",model=\"Vireo E\"} "
          "-61\n"),
      std::string::npos)
      << text;

  // A remote read in between dials radios that are no poll.
  metrics.taskChanged(tkMonitor, tkGetRemote);
  metrics.dialling(3);
  metrics.dialling(2);
  metrics.taskChanged(tkGetRemote, tkMonitor);
  EXPECT_EQ(sample("tessel_radio_polls_missed_total", 3), 0);

  // A renamed radio is labelled with its new name; one taken out of the
  // project leaves the text; the stopped monitor keeps the rest.
  window.project()->radio(2)->settings.name = "Tank \"North\" \\ S\xfc\xe9";
  window.project()->radio(3)->Destroy();
  poll(1, "-62", "123", "26");
  metrics.taskChanged(tkMonitor, tkLocalOnly);
  const std::string last = metrics.exposition();
  EXPECT_NE(last.find("name=\"Tank \\\"North\\\" \\\\ S\xc3\xbc\xc3\xa9\""), std::string::npos)
      << last;
  EXPECT_EQ(last.find("radio_id=\"3\""), std::string::npos) << last;
  EXPECT_EQ(sample("tessel_monitor_running"), 0);
  EXPECT_EQ(sample("tessel_radio_rssi_dbm", 2), -70);
  EXPECT_EQ(sample("tessel_radio_polls_answered_total", 1), 2);

  std::string said;
  EXPECT_EQ(runWithInput("promtool check metrics", last, dir, said), 0) << said << last;
  EXPECT_EQ(said, "") << last;
}

TEST(MetricsText, LabelsAndValuesAsTheFormatSpellsThem) {
  EXPECT_EQ(labelValue(std::string("a\"b\\c\nd\0e\xb0", 10)), "a\\\"b\\\\c\\nde\xc2\xb0");
  const struct {
    double v;
    const char* text;
  } values[] = {{-61, "-61"},
                {12.4, "12.4"},
                {1796798850.641, "1796798850.641"},
                {0.1 + 0.2, "0.30000000000000004"},
                {NAN, "NaN"},
                {-INFINITY, "-Inf"}};
  for (const auto& c : values) EXPECT_EQ(sampleValue(c.v), c.text);
}

TEST(MetricsServerTest, ServesTheTextAtMetricsAndNothingElse) {
  int calls = 0;
  MetricsServer server([&calls] {
    ++calls;
    return std::string("# TYPE x gauge\nx 1\n");
  });
  std::string error;
  ASSERT_TRUE(server.start("127.0.0.1:0", error)) << error;
  ASSERT_GT(server.port(), 0);
  EXPECT_EQ(server.url(), "http://127.0.0.1:" + std::to_string(server.port()) + "/metrics");

  testing::HttpReply r = testing::httpGet(server.port(), "/metrics");
  EXPECT_EQ(r.status, 200);
  EXPECT_NE(r.headers.find("Content-Type: text/plain; version=0.0.4; charset=utf-8"),
            std::string::npos)
      << r.headers;
  EXPECT_EQ(r.body, "# TYPE x gauge\nx 1\n");
  EXPECT_EQ(testing::httpGet(server.port(), "/").status, 404);
  EXPECT_EQ(testing::httpGet(server.port(), "/metrics/x").status, 404);
  EXPECT_EQ(testing::httpRequest(server.port(), "POST", "/metrics").status, 405);
  EXPECT_EQ(calls, 1);

  // The port taken: refused with the address and the reason.
  const std::string taken = "127.0.0.1:" + std::to_string(server.port());
  MetricsServer second([] { return std::string(); });
  EXPECT_FALSE(second.start(taken, error));
  EXPECT_EQ(error, "cannot serve metrics on " + taken + ": Address already in use");
  EXPECT_FALSE(second.start("no-such-host.invalid:9100", error));
  EXPECT_EQ(error.rfind("cannot serve metrics on no-such-host.invalid:9100: ", 0), 0u) << error;

  server.stop();
  EXPECT_EQ(testing::httpGet(server.port(), "/metrics").status, 0) << "nothing listens after stop";
}

// A connection to the loopback port, or -1.
int connectLoopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

// Clients that connect and say nothing, and clients that send a header line
// now and then and never finish, take the server's workers while it waits
// for their requests. A scraper coming meanwhile is served at once, and the
// server lets go of the slow ones after its request timeout, however often
// they send.
TEST(MetricsServerTest, IdleAndTricklingClientsNeitherDelayAScrapeNorHoldTheServer) {
  MetricsServer server([] { return std::string("x 1\n"); });
  std::string error;
  ASSERT_TRUE(server.start("127.0.0.1:0", error)) << error;
  constexpr int kEach = 5;  // of each kind: ten in all, more than a small pool of workers
  std::vector<int> idle, trickling;
  for (int i = 0; i < kEach; ++i) {
    idle.push_back(connectLoopback(server.port()));
    trickling.push_back(connectLoopback(server.port()));
    ASSERT_GE(idle.back(), 0);
    ASSERT_GE(trickling.back(), 0);
    const std::string start = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    ASSERT_EQ(::send(trickling.back(), start.data(), start.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(start.size()));
  }
  using Clock = std::chrono::steady_clock;
  const auto begin = Clock::now();
  std::vector<double> scrapes;                       // seconds each took
  std::vector<double> cutOff(trickling.size(), -1);  // when the server closed each
  const auto allCut = [&] {
    return std::count(cutOff.begin(), cutOff.end(), -1.0) == 0 && scrapes.size() >= 4;
  };
  for (int round = 0; !allCut() && Clock::now() - begin < std::chrono::seconds(6); ++round) {
    for (size_t i = 0; i < trickling.size(); ++i) {
      if (cutOff[i] >= 0) continue;
      const std::string line = "X-Round: " + std::to_string(round) + "\r\n";
      // An answer (an error, say), the end of the connection or a reset:
      // the server is done with it.
      pollfd p{trickling[i], POLLIN, 0};
      if (::send(trickling[i], line.data(), line.size(), MSG_NOSIGNAL) < 0 || ::poll(&p, 1, 0))
        cutOff[i] = std::chrono::duration<double>(Clock::now() - begin).count();
    }
    if (round % 4 == 0) {
      const auto t = Clock::now();
      const testing::HttpReply r = testing::httpGet(server.port(), "/metrics");
      EXPECT_EQ(r.status, 200) << "round " << round;
      scrapes.push_back(std::chrono::duration<double>(Clock::now() - t).count());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  for (double s : scrapes) EXPECT_LT(s, 1.0);
  for (double t : cutOff) {
    EXPECT_GE(t, 0) << "a client sending a line every 250 ms keeps its worker";
    EXPECT_LT(t, 5.0);
  }
  for (int fd : idle) {
    pollfd p{fd, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), 1) << "an idle client is let go";
    ::close(fd);
  }
  for (int fd : trickling) ::close(fd);
}

TEST(MetricsServerTest, ListenAddresses) {
  const struct {
    const char* text;
    bool ok;
    const char* host;
    int port;
  } cases[] = {
      {"127.0.0.1:9100", true, "127.0.0.1", 9100},
      {":9100", true, "", 9100},
      {"localhost:0", true, "localhost", 0},
      {"9100", false, "", 0},
      {"127.0.0.1:", false, "", 0},
      {"127.0.0.1:65536", false, "", 0},
      {"127.0.0.1:-1", false, "", 0},
      {"[::1]:9100", false, "", 0},
  };
  for (const auto& c : cases) {
    std::string host, error;
    int port = -1;
    EXPECT_EQ(parseListenAddress(c.text, host, port, error), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_FALSE(error.empty()) << c.text;
      continue;
    }
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(port, c.port);
  }
}

// The README's sample rule: a radio polled for five minutes without an
// answer, and none sooner, checked by promtool against made-up series.
TEST(MetricsAlertRule, FiresAfterFiveMinutesOfMissedPolls) {
  char tmpl[] = "/tmp/metrics_rule_XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  const std::string rules =
      std::string(TESSEL_SOURCE_DIR) + "/packaging/prometheus/tessel-alerts.yml";
  auto series = [](const char* metric, const char* radio, const char* values) {
    return std::string("      - series: '") + metric + "{group_id=\"7\",radio_id=\"" + radio +
           "\",name=\"R" + radio + "\",model=\"Vireo E\"}'\n        values: '" + values + "'\n";
  };
  auto firing = [](const char* radio) {
    return std::string("          - exp_labels: {severity: warning, group_id: '7', radio_id: '") +
           radio + "', name: R" + radio +
           ", model: Vireo E}\n            exp_annotations:\n              summary: 'Radio " +
           radio + " (R" + radio + ") of group 7 has missed its polls for five minutes'\n";
  };
  auto at = [&](const char* time, std::string alerts) {
    return std::string("      - eval_time: ") + time +
           "\n        alertname: TesselRadioNotAnswering\n        exp_alerts:" +
           (alerts.empty() ? " []\n" : "\n" + alerts);
  };
  std::string test = "rule_files:\n  - " + rules +
                     "\nevaluation_interval: 1m\ntests:\n  - interval: 1m\n    input_series:\n";
  // Radio 2 answers for five minutes, then stops; radio 3 never answers;
  // radio 4 answers throughout.
  test += series("tessel_radio_polls_answered_total", "2", "0+1x5 5x10");
  test += series("tessel_radio_polls_missed_total", "2", "0x5 1+1x10");
  test += series("tessel_radio_polls_answered_total", "3", "0x15");
  test += series("tessel_radio_polls_missed_total", "3", "1+1x15");
  test += series("tessel_radio_polls_answered_total", "4", "1+1x15");
  test += series("tessel_radio_polls_missed_total", "4", "0x15");
  test += "    alert_rule_test:\n";
  test += at("4m", "") + at("5m", firing("3")) + at("9m", firing("3")) +
          at("10m", firing("2") + firing("3"));
  std::ofstream(dir + "/rule_test.yml") << test;
  std::string said;
  const int rc = runWithInput("promtool test rules '" + dir + "/rule_test.yml'", "", dir, said);
  EXPECT_EQ(rc, 0) << said << test;
  std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
}  // namespace tessel
