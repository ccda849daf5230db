#include "sim/sim_pty.h"

#include <algorithm>

namespace tessel::sim {

namespace {

// Output no one reads is kept up to this size; a real radio's buffer is far
// smaller, and dropping old replies beats growing without limit.
constexpr size_t kMaxPendingOutput = 1 << 16;

// Paced input waiting for its time on the line. Beyond this the rest stays
// in the pseudo-terminal, whose full buffer then holds up the writer as a
// real line at this speed would; taking it all in would let a fast writer
// grow the queue without limit.
constexpr size_t kMaxPendingInput = 1024;

}  // namespace

SimPty::SimPty(SimRadioGroup& group, Options options)
    : group_(group), options_(std::move(options)), start_(Clock::now()) {}

SimPty::~SimPty() = default;

bool SimPty::open() {
  if (!pty_.open(options_.linkPath)) {
    error_ = pty_.error();
    return false;
  }
  slavePath_ = pty_.slavePath();
  return true;
}

void SimPty::stop() {
  stopping_ = true;
  pty_.wake();
}

double SimPty::seconds(Clock::time_point t) const {
  return std::chrono::duration<double>(t - start_).count();
}

int64_t SimPty::nowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
}

std::chrono::nanoseconds SimPty::byteTime() const {
  int baud = options_.baud;
  if (baud <= 0) baud = pty_.lineSpeed();
  if (baud <= 0) baud = 9600;
  return std::chrono::nanoseconds(10'000'000'000LL / baud);
}

bool SimPty::readInput(Clock::time_point now) {
  char buf[512];
  for (;;) {
    size_t room = sizeof buf;
    if (options_.pace) {
      if (input_.size() >= kMaxPendingInput) return true;
      room = std::min(room, kMaxPendingInput - input_.size());
    }
    const long n = pty_.read(buf, room);
    if (n > 0) {
      bytesIn_ += static_cast<uint64_t>(n);
      if (!options_.pace) {
        std::string_view bytes(buf, static_cast<size_t>(n));
        if (options_.trace) options_.trace('r', std::string(bytes), seconds(now));
        queueOutput(group_.feed(bytes, nowMs()), now);
        continue;
      }
      auto per = byteTime();
      for (long i = 0; i < n; ++i) {
        // A byte is there only once its last bit has come over the line.
        rxFreeAt_ = std::max(rxFreeAt_, now) + per;
        input_.emplace_back(rxFreeAt_, buf[i]);
      }
      continue;
    }
    if (n == 0) return true;  // all read, or no one on the slave
    error_ = pty_.error();
    return false;
  }
}

void SimPty::deliverInput(Clock::time_point now) {
  std::string due;
  while (!input_.empty() && input_.front().first <= now) {
    due += input_.front().second;
    input_.pop_front();
  }
  if (due.empty()) return;
  if (options_.trace) options_.trace('r', due, seconds(now));
  queueOutput(group_.feed(due, nowMs()), now);
}

void SimPty::queueOutput(const std::string& bytes, Clock::time_point now) {
  if (bytes.empty()) return;
  // On an idle line the first byte starts now; behind pending output it
  // starts when the byte before it has gone.
  if (output_.empty() && txFreeAt_ < now) txFreeAt_ = now;
  output_ += bytes;
  if (output_.size() > kMaxPendingOutput) output_.erase(0, output_.size() - kMaxPendingOutput);
}

void SimPty::readOpenEvents() {
  for (int change : pty_.userChanges()) {
    if (change > 0) ++users_;
    if (change < 0 && users_ > 0 && --users_ == 0) {
      // The last user closed the port: what it did not read is gone.
      pty_.dropUnread();
      output_.clear();
    }
  }
}

bool SimPty::writeOutput(Clock::time_point now) {
  if (pty_.watchesUsers() && users_ == 0) {
    output_.clear();
    return true;
  }
  size_t count = output_.size();
  if (options_.pace && count > 0) {
    auto per = byteTime();
    auto ready = (now - txFreeAt_) / per;
    count = std::min<size_t>(count, static_cast<size_t>(std::max<int64_t>(ready, 0)));
  }
  writeBlocked_ = false;
  size_t done = 0;
  while (done < count) {
    const long n = pty_.write(output_.data() + done, count - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n == 0) {
      writeBlocked_ = true;
      break;
    }
    error_ = pty_.error();
    return false;
  }
  if (options_.pace) txFreeAt_ += byteTime() * static_cast<int64_t>(done);
  if (options_.trace && done > 0) options_.trace('t', output_.substr(0, done), seconds(now));
  output_.erase(0, done);
  bytesOut_ += done;
  return true;
}

bool SimPty::run() {
  if (!pty_.isOpen()) {
    error_ = "not open";
    return false;
  }
  while (!stopping_) {
    auto now = Clock::now();
    // Earliest moment something paced falls due.
    Clock::time_point due = Clock::time_point::max();
    if (!input_.empty()) due = input_.front().first;
    if (options_.pace && !output_.empty() && !writeBlocked_)
      due = std::min(due, txFreeAt_ + byteTime());

    std::optional<std::chrono::nanoseconds> timeout;
    if (due != Clock::time_point::max())
      timeout = std::chrono::duration_cast<std::chrono::nanoseconds>(
          std::max(due - now, Clock::duration::zero()));
    const bool wantInput = !options_.pace || input_.size() < kMaxPendingInput;
    const bool wantOutput = !output_.empty() && (writeBlocked_ || !options_.pace);
    const platform::PseudoTerminal::Ready ready = pty_.wait(wantInput, wantOutput, timeout);
    if (ready.failed) {
      error_ = pty_.error();
      return false;
    }
    // Opens and closes first: they happened before the bytes that follow.
    if (ready.users) readOpenEvents();
    now = Clock::now();
    if (ready.input && !readInput(now)) return false;
    deliverInput(now);
    if (!output_.empty() && !writeOutput(Clock::now())) return false;
  }
  return true;
}

}  // namespace tessel::sim
