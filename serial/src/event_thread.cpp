#include "event_thread.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>

#include "serial/tserial.h"
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

TEventThread::TEventThread(TSerial& owner) : owner_(owner) {}

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
  ++owner_.wakeups_;
  if (r > 0) portio::drainEventFd(wake_.get());
}

void TEventThread::run() {
  while (!terminated_) {
    auto session = owner_.enterSession();
    if (!session) {
      idle(-1);  // until an open, a close or the end wakes us
      continue;
    }
    serve(session);
    session.reset();  // the descriptor may close here, if the component let go
    owner_.leaveSession();
  }
}

void TEventThread::serve(const std::shared_ptr<TSerialSession>& s) {
  TSerial& o = owner_;
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
    ++o.wakeups_;
    if (r < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      o.handOver(s, [&o, err] { o.reportSystemError(err); });
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
      struct Line {
        bool changed;
        eModemInSignal signal;
        std::atomic<bool>& stored;
        int bit;
      } lines[] = {{evCts, msCTS, o.cts_, portio::kLineCTS},
                   {evDsr, msDSR, o.dsr_, portio::kLineDSR},
                   {evRlsd, msRLSD, o.rlsd_, portio::kLineCAR}};
      for (auto& line : lines) {
        if (!line.changed) continue;
        const bool state = (bits & line.bit) != 0;
        line.stored = state;  // stored whether or not a handler listens
        if (o.hasSignalChange_) {
          const eModemInSignal signal = line.signal;
          o.handOver(s, [&o, signal, state] { o.fireSignal(signal, state); });
        }
      }
    }
    if (evTxEmpty && o.hasTxEmpty_) o.handOver(s, [&o] { o.fireTxEmpty(); });
    if (evBreak && o.hasBreak_) o.handOver(s, [&o] { o.fireBreak(); });
    if (evRing && o.hasRing_) o.handOver(s, [&o] { o.fireRing(); });
    if (evRx && s->open) {
      seen = s->bytesRead + queued();
      s->discarded = false;
      if (o.rxEventMode_ == rxNormal) {
        if (o.hasRxData_) o.handOver(s, [&o] { o.fireRxData(); });
      } else if (o.hasMessage_) {
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
  TSerial& o = owner_;
  auto deliver = [&] {
    const std::string text = o.msgText_;
    if (o.hasMessage_) o.handOver(s, [&o, text] { o.fireMessage(text); });
  };
  char c = 0;
  while (s->open && o.readCharOn(s, c, true) == 1) {
    if (o.msgState_ == 2) {
      // After the end character everything is trailer, start and end alike.
      o.msgText_ += c;
      if (--o.msgCountdown_ == 0) {
        o.msgState_ = 3;
        deliver();
      }
    } else if (c == o.messageStartChar_) {
      o.msgState_ = 1;  // a start inside a message drops the partial text
      o.msgText_.assign(1, c);
    } else if (c == o.messageEndChar_) {
      if (o.msgState_ != 1) continue;
      o.msgText_ += c;
      o.msgState_ = 2;
      const uint16_t append = o.messageAppendCount_;
      if (append == 0) {
        o.msgState_ = 3;
        deliver();
      } else {
        o.msgCountdown_ = append;
      }
    } else if (o.msgState_ == 1) {
      o.msgText_ += c;
    }
  }
}

}  // namespace tessel
