#include "event_thread.h"

#include <string>
#include <system_error>

#include "os_error.h"

namespace tessel {

namespace {

// A driver that cannot wait for events is looked at this often.
constexpr DWORD kPollMs = 10;
// Bytes left unread by the handler: how often to look for more arrivals.
constexpr DWORD kUnreadPollMs = 50;
constexpr DWORD kFailedWaitBackoffMs = 100;
constexpr DWORD kLineErrors = CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK;

// The port's queues and line errors. The system clears the errors as it
// reports them, so they are kept for the next reader of the port.
struct QueueState {
  bool ok = false;
  DWORD in = 0, out = 0, errors = 0;
};

QueueState queueState(TSerialSession& s) {
  QueueState q;
  COMSTAT cs{};
  DWORD errors = 0;
  q.ok = ClearCommError(s.handle.get(), &errors, &cs) != 0;
  if (!q.ok) return q;
  q.in = cs.cbInQue;
  q.out = cs.cbOutQue;
  q.errors = errors & kLineErrors;
  if (q.errors) s.heldErrors |= q.errors;
  return q;
}

}  // namespace

struct TEventThread::Pass {
  std::shared_ptr<TSerialSession> s;
  HANDLE h = nullptr;
  bool polling = false;  // the driver cannot wait for events: it is looked at instead
  bool levelRx = false;  // bytes stay queued unread: look for more later, do not wait
  bool rxAgain = false;  // raise the receive event again without waiting
  uint64_t seen = 0;     // bytes read + bytes queued when last handled
  DWORD modem = 0;       // the modem status when last looked at
};

TEventThread::TEventThread(TSerialEvents& sink) : sink_(sink) {}

TEventThread::~TEventThread() {
  terminate();
}

int TEventThread::prepare() {
  if (!wake_.valid()) wake_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!waitEvent_.valid()) waitEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  return wake_.valid() && waitEvent_.valid() ? 0 : static_cast<int>(GetLastError());
}

int TEventThread::resume() {
  if (thread_.joinable() || terminated_) return 0;
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error& e) {
    return e.code().value() ? e.code().value() : ERROR_NOT_ENOUGH_MEMORY;
  }
  return 0;
}

void TEventThread::kick() {
  if (wake_.valid()) SetEvent(wake_.get());
}

void TEventThread::terminate() {
  terminated_ = true;
  kick();
  if (thread_.joinable()) thread_.join();
}

void TEventThread::idle(DWORD ms) {
  WaitForSingleObject(wake_.get(), ms);
  ++wakeups_;
}

void TEventThread::run() {
  while (!terminated_) {
    auto session = sink_.enterSession();
    if (!session) {
      idle(INFINITE);  // until an open, a close or the end wakes us
      continue;
    }
    serve(session);
    session.reset();  // the handle may close here, if the component let go
    sink_.leaveSession();
  }
}

void TEventThread::serve(const std::shared_ptr<TSerialSession>& s) {
  Pass p;
  p.s = s;
  p.h = s->handle.get();
  if (s->modemLines) GetCommModemStatus(p.h, &p.modem);
  while (!terminated_ && s->open) {
    DWORD events = 0;
    if (p.rxAgain) {
      events = EV_RXCHAR;
    } else if (p.polling || p.levelRx) {
      idle(p.polling ? kPollMs : kUnreadPollMs);
      if (terminated_ || !s->open) break;
      events = lookEvents(p);
    } else if (!waitEvents(p, events)) {
      break;
    }
    if (s->vanished) break;
    handle(p, events);
  }
}

bool TEventThread::waitEvents(Pass& p, DWORD& events) {
  TSerialSession& s = *p.s;
  TSerialEvents& o = sink_;
  ResetEvent(waitEvent_.get());
  OVERLAPPED ov{};
  ov.hEvent = waitEvent_.get();
  DWORD mask = 0, err = 0;
  bool cancelled = false;
  if (!WaitCommEvent(p.h, &mask, &ov)) {
    err = GetLastError();
    if (err == ERROR_IO_PENDING) {
      // The close empties the event mask, which ends the wait; the wake-up
      // ends it too, for a driver that does not.
      HANDLE both[2] = {waitEvent_.get(), wake_.get()};
      if (WaitForMultipleObjects(2, both, FALSE, INFINITE) != WAIT_OBJECT_0) {
        cancelled = true;
        CancelIoEx(p.h, &ov);
      }
      DWORD n = 0;
      err = GetOverlappedResult(p.h, &ov, &n, TRUE) ? 0 : GetLastError();
    }
  }
  ++wakeups_;
  if (terminated_ || !s.open) return false;  // woken by the close: nothing to report
  if (err == 0) {
    events = mask;
    return true;
  }
  if (cancelled && err == ERROR_OPERATION_ABORTED) return true;  // woken: look again
  if (err == ERROR_OPERATION_ABORTED) {
    // A line error ends the wait of a driver that aborts on errors. A wait
    // ended without one the driver cannot keep (Wine's on a pseudo-terminal
    // ends at once): the port is looked at from now on.
    const QueueState q = queueState(s);
    if (!q.errors) p.polling = true;
    if (q.errors & CE_BREAK) events |= EV_BREAK;
    return true;
  }
  if (err == ERROR_NOT_SUPPORTED || err == ERROR_INVALID_PARAMETER) {
    p.polling = true;
    return true;
  }
  if (oserr::deviceGone(static_cast<int>(err))) {
    // Reported once on the GUI thread; the serving stops.
    s.lostError = static_cast<int>(err);
    s.vanished = true;
    const auto session = p.s;
    o.handOver(session, [&o, session, err] { o.lineLost(session, static_cast<int>(err)); });
    return false;
  }
  const int code = static_cast<int>(err);
  o.handOver(p.s, [&o, code] { o.waitFailed(code); });
  idle(kFailedWaitBackoffMs);  // a wait that keeps failing must not spin
  return true;
}

DWORD TEventThread::lookEvents(Pass& p) {
  TSerialSession& s = *p.s;
  DWORD events = 0;
  const QueueState q = queueState(s);
  if (!q.ok) {
    const DWORD err = GetLastError();
    if (oserr::deviceGone(static_cast<int>(err))) {
      s.lostError = static_cast<int>(err);
      s.vanished = true;
      TSerialEvents& o = sink_;
      const auto session = p.s;
      o.handOver(session, [&o, session, err] { o.lineLost(session, static_cast<int>(err)); });
    }
    return 0;
  }
  if (s.bytesRead + q.in > p.seen) events |= EV_RXCHAR;
  if (q.in == 0) p.levelRx = false;  // read meanwhile: wait for arrivals again
  if (s.txPending && q.out == 0) events |= EV_TXEMPTY;
  if (q.errors & CE_BREAK) events |= EV_BREAK;
  DWORD status = 0;
  if (s.modemLines && GetCommModemStatus(p.h, &status)) {
    const DWORD changed = status ^ p.modem;
    if (changed & MS_CTS_ON) events |= EV_CTS;
    if (changed & MS_DSR_ON) events |= EV_DSR;
    if (changed & MS_RLSD_ON) events |= EV_RLSD;
    if ((status & MS_RING_ON) && !(p.modem & MS_RING_ON)) events |= EV_RING;
    p.modem = status;
  }
  return events;
}

void TEventThread::handle(Pass& p, DWORD events) {
  TSerialSession& s = *p.s;
  TSerialEvents& o = sink_;
  const auto& session = p.s;
  // The fixed order: CTS, DSR, RLSD, transmit empty, break, ring, received.
  if (events & (EV_CTS | EV_DSR | EV_RLSD)) {
    DWORD status = 0;
    GetCommModemStatus(p.h, &status);
    p.modem = status;
    const struct {
      DWORD event;
      eModemInSignal signal;
      DWORD bit;
    } lines[] = {
        {EV_CTS, msCTS, MS_CTS_ON}, {EV_DSR, msDSR, MS_DSR_ON}, {EV_RLSD, msRLSD, MS_RLSD_ON}};
    for (const auto& line : lines) {
      if (!(events & line.event)) continue;
      const bool state = (status & line.bit) != 0;
      const eModemInSignal signal = line.signal;
      o.storeSignal(signal, state);
      if (o.hasHandler(TSerialEvents::hSignalChange))
        o.handOver(session, [&o, signal, state] { o.signalChanged(signal, state); });
    }
  }
  // Once per write: a driver that tells of an empty queue again is not heard twice.
  if ((events & EV_TXEMPTY) && s.txPending.exchange(false) && o.hasHandler(TSerialEvents::hTxEmpty))
    o.handOver(session, [&o] { o.txEmpty(); });
  if ((events & EV_BREAK) && o.hasHandler(TSerialEvents::hBreak))
    o.handOver(session, [&o] { o.breakDetected(); });
  if ((events & EV_RING) && o.hasHandler(TSerialEvents::hRing))
    o.handOver(session, [&o] { o.ring(); });
  if ((events & EV_RXCHAR) && s.open) received(p);
}

void TEventThread::received(Pass& p) {
  TSerialSession& s = *p.s;
  TSerialEvents& o = sink_;
  QueueState q = queueState(s);
  const bool again = p.rxAgain;
  p.rxAgain = false;
  if (!again && q.in > 0 && s.bytesRead + q.in <= p.seen) {
    // Told of bytes already seen (a driver that reports a queue that is not
    // empty rather than arrivals): no new arrival.
    p.levelRx = true;
    return;
  }
  p.levelRx = false;
  p.seen = s.bytesRead + q.in;
  s.discarded = false;
  if (o.framing().mode == rxNormal) {
    if (o.hasHandler(TSerialEvents::hRxData)) o.handOver(p.s, [&o] { o.rxData(); });
  } else if (o.hasHandler(TSerialEvents::hMessage)) {
    assemble(p.s);
  }  // rxMessage without a handler: nothing is read, the bytes stay queued
  if (!s.open) return;
  q = queueState(s);
  const uint64_t total = s.bytesRead + q.in;
  if (q.in > 0 && (s.discarded || total > p.seen)) {
    // A dropped byte ended the drain, or more came meanwhile: the bytes
    // behind must not wait for further traffic.
    p.rxAgain = true;
  } else if (q.in > 0) {
    p.seen = total;  // left unread on purpose; raised again on new arrivals
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
