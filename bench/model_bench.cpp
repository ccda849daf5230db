// Costs of the project file: opening a full group (255 radios of 20 keys
// each) and one key write, which rewrites and flushes the whole file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "model/ini_file.h"

namespace {

const char* const kRadioKeys[] = {
    "Radio ID",         "Radio Name",   "Radio Mode",  "Roaming",     "Master ID",
    "Retries",          "Auto-Routing", "Buffer Mode", "Radio Model", "Emulation Mode",
    "Main Serial Port", "Sleep Mode",   "PLC Address", "Start Time",  "Radio ON Time",
    "Radio OFF Time",   "Baud rate",    "Data Bits",   "Stop Bits",   "Parity",
};

// A project file of 255 radio sections in a fresh directory, removed at exit.
class FullProject {
 public:
  FullProject() {
    char tmpl[] = "/tmp/model_bench.XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) std::abort();
    dir_ = tmpl;
    path_ = dir_ + "/full.vro";
    std::ofstream out(path_, std::ios::binary);
    out << "[Project]\nGroup ID=12\nSecurity ID=300\nRF Band=1\nFlush Time=1200\n"
           "ReTXBroadcasts=Yes\nRepeaters=No\n";
    for (int radio = 0; radio < 255; ++radio) {
      out << "[Radio" << radio << "]\n";
      for (const char* key : kRadioKeys) out << key << "=value of " << key << "\n";
    }
  }
  ~FullProject() { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string dir_;
  std::string path_;
};

const FullProject& project() {
  static FullProject p;
  return p;
}

void BM_OpenFullProject(benchmark::State& state) {
  for (auto _ : state) {
    tessel::IniFile ini(project().path());
    benchmark::DoNotOptimize(ini.readString("Radio254", "Parity", ""));
  }
}
BENCHMARK(BM_OpenFullProject)->Unit(benchmark::kMillisecond);

void BM_WriteExistingKey(benchmark::State& state) {
  tessel::IniFile ini(project().path());
  int n = 0;
  for (auto _ : state) {
    if (!ini.writeString("Radio128", "Radio Name", "Radio " + std::to_string(n++ % 1000)))
      state.SkipWithError(ini.lastError().c_str());
  }
}
BENCHMARK(BM_WriteExistingKey)->Unit(benchmark::kMillisecond);

void BM_WriteNewKey(benchmark::State& state) {
  tessel::IniFile ini(project().path());
  for (auto _ : state) {
    if (!ini.writeString("Radio128", "Handshaking", "No"))
      state.SkipWithError(ini.lastError().c_str());
    state.PauseTiming();
    ini.deleteKey("Radio128", "Handshaking");
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WriteNewKey)->Unit(benchmark::kMillisecond);

}  // namespace
