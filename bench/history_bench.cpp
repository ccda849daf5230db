// The monitor history's cost: the memory a full day (86,400 polls) takes,
// counted at the allocator, and the time one poll's record takes when the
// history is full.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "model/monitor_history.h"

// The counting allocator pairs its own new and delete.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<long long> gLive{0};
}

void* operator new(std::size_t n) {
  gLive += static_cast<long long>(n) + static_cast<long long>(sizeof(std::size_t));
  auto* p = static_cast<std::size_t*>(std::malloc(n + sizeof(std::size_t)));
  if (!p) throw std::bad_alloc();
  *p = n;
  return p + 1;
}

void operator delete(void* p) noexcept {
  if (!p) return;
  auto* q = static_cast<std::size_t*>(p) - 1;
  gLive -= static_cast<long long>(*q) + static_cast<long long>(sizeof(std::size_t));
  std::free(q);
}

void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}

namespace {

tessel::PollReading reading(std::int64_t t) {
  tessel::PollReading r;
  r.time = t;
  r.radio = static_cast<std::uint8_t>(t % 254);
  r.rssi = -72;
  r.volts = 124;
  r.tempC = 31;
  return r;
}

void fill(tessel::MonitorHistory& h, std::int64_t from, std::int64_t count) {
  for (std::int64_t t = from; t < from + count; ++t) {
    h.add(reading(t));
  }
}

void BM_FullDayMemory(benchmark::State& state) {
  for (auto _ : state) {
    const long long before = gLive;
    tessel::MonitorHistory h;
    fill(h, 0, tessel::MonitorHistory::kMaxSamples + 1000);
    state.counters["bytes"] = static_cast<double>(gLive - before);
    state.counters["samples"] = static_cast<double>(h.size());
    state.counters["bytes_per_sample"] = static_cast<double>(gLive - before) / h.size();
  }
}
BENCHMARK(BM_FullDayMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_RecordIntoAFullDay(benchmark::State& state) {
  tessel::MonitorHistory h;
  fill(h, 0, tessel::MonitorHistory::kMaxSamples);
  std::int64_t t = tessel::MonitorHistory::kMaxSamples;
  for (auto _ : state) {
    h.add(reading(t));
    ++t;
  }
}
BENCHMARK(BM_RecordIntoAFullDay);

}  // namespace
