#include "event_thread.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>

#include "session.h"

namespace tessel {

namespace {

// Modem lines and ring have no readiness event on Linux; where the driver
// counts them they are looked at this often.
constexpr int kLinePollMs = 50;
// Bytes left unread by the handler: how often to look for more arrivals.
constexpr int kUnreadPollMs = 50;
constexpr int kFailedWaitBackoffMs = 100;

// Time to look again for the end of the output, from what is still queued.
int drainCheckMs(int queued, int32_t baudrate) {
  if (baudrate <= 0) return 10;
  long ms = static_cast<long>(queued) * 10 * 1000 / baudrate;  // ~10 bits a character
  return static_cast<int>(std::clamp(ms, 2L, 100L));
}

}  // namespace

TEventThread::TEventThread(TSerialEvents& sink) : sink_(sink) {}

TEventThread::~TEventThread() {
  terminate();
}

int TEventThread::prepare() {
  if (wake_.valid()) return 0;
  return portio::makeEventFd(wake_);
}

int TEventThread::resume() {
  if (thread_.joinable() || terminated_) return 0;
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error& e) {
    return e.code().value() ? e.code().value() : EAGAIN;
  }
  return 0;
}

void TEventThread::kick() {
  if (wake_.valid()) portio::signalEventFd(wake_.get());
}

void TEventThread::terminate() {
  terminated_ = true;
  kick();
  if (thread_.joinable()) thread_.join();
}

void TEventThread::idle(int ms) {
  pollfd p{wake_.get(), POLLIN, 0};
  int r = ::poll(&p, 1, ms);
  ++wakeups_;
  if (r > 0) portio::drainEventFd(wake_.get());
}

void TEventThread::run() {
  while (!terminated_) {
    auto session = sink_.enterSession();
    if (!session) {
      idle(-1);  // until an open, a close or the end wakes us
      continue;
    }
    serve(session);
    session.reset();  // the descriptor may close here, if the component let go
    sink_.leaveSession();
  }
}

void TEventThread::serve(const std::shared_ptr<TSerialSession>& s) {
  TSerialEvents& o = sink_;
  const int fd = s->fd.get();
  portio::LineCounters base;
  const bool counters = s->counters && portio::lineCounters(fd, base) == 0;
  bool rxAgain = false;      // raise the receive event again without waiting
  bool watchUnread = false;  // bytes stay queued: wait for more arrivals, not for POLLIN
  uint64_t seen = 0;         // bytes read + bytes queued when last handled

  auto queued = [&] {
    int n = 0;
    return portio::bytesToRead(fd, n) == 0 ? n : 0;
  };

  while (!terminated_ && s->open) {
    pollfd p[2] = {{wake_.get(), POLLIN, 0}, {fd, static_cast<short>(watchUnread ? 0 : POLLIN), 0}};
    int timeout = -1;
    if (counters) timeout = kLinePollMs;
    if (watchUnread) timeout = kUnreadPollMs;
    if (s->txPending) {
      int out = 0;
      portio::bytesToSend(fd, out);
      int ms = drainCheckMs(out, s->baudrate);
      timeout = timeout < 0 ? ms : std::min(timeout, ms);
    }
    if (rxAgain) timeout = 0;

    int r = ::poll(p, 2, timeout);
    ++wakeups_;
    if (r < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      o.handOver(s, [&o, err] { o.waitFailed(err); });
      idle(kFailedWaitBackoffMs);  // a wait that keeps failing must not spin
      continue;
    }
    if (p[0].revents & POLLIN) portio::drainEventFd(wake_.get());
    if (terminated_ || !s->open) break;  // woken by the close: nothing to report

    if (p[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      // The device is gone; poll would report it forever. Report it once on
      // the GUI thread and stop serving.
      s->lostError = EIO;
      s->vanished = true;
      o.handOver(s, [&o, s] { o.lineLost(s, EIO); });
      break;
    }

    bool evCts = false, evDsr = false, evRlsd = false, evBreak = false, evRing = false;
    if (counters) {
      portio::LineCounters now;
      if (portio::lineCounters(fd, now) == 0) {
        evCts = now.cts != base.cts;
        evDsr = now.dsr != base.dsr;
        evRlsd = now.dcd != base.dcd;
        evBreak = now.brk != base.brk;
        evRing = now.rng != base.rng;
        base = now;
      }
    }
    bool evTxEmpty = false;
    if (s->txPending) {
      int out = 0;
      if (portio::bytesToSend(fd, out) != 0 || out == 0) {
        s->txPending = false;
        evTxEmpty = true;
      }
    }
    bool evRx = rxAgain || (p[1].revents & POLLIN);
    rxAgain = false;
    if (!evRx && watchUnread) {
      const int n = queued();
      if (s->bytesRead + n > seen)
        evRx = true;
      else if (n == 0)
        watchUnread = false;
    }

    // The fixed order: CTS, DSR, RLSD, transmit empty, break, ring, received.
    if (evCts || evDsr || evRlsd) {
      int bits = 0;
      portio::modemStatus(fd, bits);
      const struct {
        bool changed;
        eModemInSignal signal;
        int bit;
      } lines[] = {{evCts, msCTS, portio::kLineCTS},
                   {evDsr, msDSR, portio::kLineDSR},
                   {evRlsd, msRLSD, portio::kLineCAR}};
      for (const auto& line : lines) {
        if (!line.changed) continue;
        const bool state = (bits & line.bit) != 0;
        const eModemInSignal signal = line.signal;
        o.storeSignal(signal, state);
        if (o.hasHandler(TSerialEvents::hSignalChange))
          o.handOver(s, [&o, signal, state] { o.signalChanged(signal, state); });
      }
    }
    if (evTxEmpty && o.hasHandler(TSerialEvents::hTxEmpty)) o.handOver(s, [&o] { o.txEmpty(); });
    if (evBreak && o.hasHandler(TSerialEvents::hBreak)) o.handOver(s, [&o] { o.breakDetected(); });
    if (evRing && o.hasHandler(TSerialEvents::hRing)) o.handOver(s, [&o] { o.ring(); });
    if (evRx && s->open) {
      seen = s->bytesRead + queued();
      s->discarded = false;
      if (o.framing().mode == rxNormal) {
        if (o.hasHandler(TSerialEvents::hRxData)) o.handOver(s, [&o] { o.rxData(); });
      } else if (o.hasHandler(TSerialEvents::hMessage)) {
        assemble(s);
      }  // rxMessage without a handler: nothing is read, the bytes stay queued
      if (!s->open) break;
      const int left = queued();
      const uint64_t total = s->bytesRead + left;
      if (left > 0 && (s->discarded || total > seen)) {
        // A dropped byte ended the drain, or more came meanwhile: the bytes
        // behind must not wait for further traffic.
        rxAgain = true;
      } else if (left > 0) {
        watchUnread = true;  // left unread on purpose; raise again on new arrivals
        seen = total;
      } else {
        watchUnread = false;
      }
    }
  }
}

void TEventThread::assemble(const std::shared_ptr<TSerialSession>& s) {
  TSerialEvents& o = sink_;
  char c = 0;
  while (s->open && o.readChar(s, c) == 1) {
    const TSerialEvents::Framing f = o.framing();
    if (!assembler_.feed(c, f.start, f.end, f.appendCount)) continue;
    const std::string text = assembler_.text();
    o.handOver(s, [&o, text] { o.message(text); });
  }
}

}  // namespace tessel
