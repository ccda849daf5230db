// The serial component on a POSIX terminal device: open and close, line
// settings, reads and writes, the modem lines. The rest of TSerial is
// shared with the other systems (tserial.cpp).
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "event_thread.h"
#include "os_error.h"
#include "port_io.h"
#include "serial/net_port.h"
#include "serial/port_errors.h"
#include "serial/tserial.h"
#include "session.h"
#include "termios_line.h"

namespace tessel {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

constexpr auto kLeaveWait = std::chrono::milliseconds(750);  // the close's bound on the worker

}  // namespace

void TSerial::openLocalPort(const std::string& device) {
  if (int err = thread_->prepare()) {
    reportSystemError(err);
    return;
  }

  // Built in locals; a failure on the way releases everything taken so far.
  auto s = std::make_shared<TSerialSession>();
  s->device = device;
  s->baudrate = baudrate_;
  int err = portio::openDevice(device, s->fd);
  if (err == 0) err = portio::checkTerminal(s->fd.get());
  if (err == 0) {
    err = portio::lockExclusive(s->fd.get());
    if (err == 0) s->hold.take(s->fd.get());
  }
  if (err == 0) err = portio::saveLine(s->fd.get(), s->original);
  if (err != 0) {
    s.reset();  // our own descriptor must not count as a holder
    reportSystemError(
        err, openErrorMessage(err, device,
                              err == EBUSY ? portHolders(device) : std::vector<PortHolder>{}));
    return;
  }
  const int fd = s->fd.get();
  int bits = 0;
  s->modemLines = !portio::unsupported(portio::modemStatus(fd, bits));
  s->counters = portio::lineCounters(fd, s->errorBase) == 0;

  // The line is configured before the session is published: a port whose
  // settings did not take stays closed (and reported), never active with the
  // wrong ones. The driver's queues have fixed sizes on Linux; RxQueueSize
  // and TxQueueSize keep their meaning for WaitOnTxFull and the XON/XOFF
  // limits.
  termios t{};
  err = ::tcgetattr(fd, &t) == 0 ? 0 : errno;
  if (err == 0) {
    applyLineSettings(LineSettings(), t);
    if (lineSetter_) err = lineSetter_(LineSettings());
    if (err == 0) err = ::tcsetattr(fd, TCSANOW, &t) == 0 ? 0 : errno;
  }
  if (err == 0) err = portio::setBaudRate(fd, baudrate_);
  if (err != 0) {
    portio::restoreLine(fd, s->original);  // the device keeps the line it had
    reportSystemError(err);
    return;
  }
  // A port starts with an empty receive queue: bytes left in the driver by an
  // earlier user of the device would otherwise be taken for replies.
  if (::tcflush(fd, TCIFLUSH) != 0) reportSystemError(errno);
  // Reads never wait (non-blocking descriptor); writes are bounded by
  // Timeout in WriteString.

  setControlLine(*s, portio::kLineDTR, true, false);
  setControlLine(*s, portio::kLineRTS, true, false);

  {
    std::lock_guard<std::mutex> lock(mutex_);
    s->open = true;
    session_ = s;
  }
  lineLost_.clear();

  if (int e = thread_->resume()) {
    // Without its event thread the port would never report an arrival.
    closePort(true);
    reportSystemError(e);
    return;
  }
  thread_->kick();
}

void TSerial::closeLocalPort(bool quiet) {
  auto s = session_;
  if (!s) return;
  quiet = quiet || s->vanished;
  // Reads never wait, so only the transmit side has something to abort: the
  // output a serial driver has not sent yet (held back by flow control, say),
  // which its close would otherwise wait for, up to half a minute. A
  // pseudo-terminal has no such wait, and its flush would drop bytes the far
  // end has not read yet, which were sent already.
  if (s->modemLines && ::tcflush(s->fd.get(), TCOFLUSH) != 0 && !quiet) reportSystemError(errno);
  setControlLine(*s, portio::kLineDTR, false, quiet);
  setControlLine(*s, portio::kLineRTS, false, quiet);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    s->open = false;
    session_.reset();
  }
  // Wake the event thread; a hand-over it is waiting for will not run.
  cancelHandOver();
  thread_->kick();
  {
    std::lock_guard<std::mutex> lock(s->ioMutex);
    int err = portio::restoreLine(s->fd.get(), s->original);
    if (err != 0 && !quiet) reportSystemError(err);
    // Free the device now, even while the event thread still holds the
    // descriptor for a moment.
    s->hold.release();
  }
  {
    std::unique_lock<std::mutex> lock(mutex_);
    workerLeft_.wait_for(lock, kLeaveWait, [&] { return !threadInWait_; });
  }
  // Whoever closes a session whose device went away tells of it, once: the
  // event thread's report may have been cancelled by this very close.
  if (s->vanished) reportLoss(*s);
}

void TSerial::setControlLine(TSerialSession& session, int line, bool on, bool quiet) {
  if (!session.modemLines) return;  // a pseudo-terminal has no modem lines
  int err = portio::setModemLines(session.fd.get(), line, on);
  if (err != 0 && !quiet) reportSystemError(err);
}

uint32_t TSerial::fetchLineErrors(TSerialSession& s) {
  if (!s.counters) return 0;
  std::lock_guard<std::mutex> lock(s.ioMutex);
  portio::LineCounters now;
  if (portio::lineCounters(s.fd.get(), now) != 0) return 0;
  uint32_t flags = 0;
  if (now.overrun != s.errorBase.overrun) flags |= ceOverrun;
  if (now.bufOverrun != s.errorBase.bufOverrun) flags |= ceRxOver;
  if (now.parity != s.errorBase.parity) flags |= ceRxParity;
  if (now.frame != s.errorBase.frame) flags |= ceFrame;
  if (now.brk != s.errorBase.brk) flags |= ceBreak;
  s.errorBase = now;
  return flags;
}

// ---- queue status ----

int32_t TSerial::RxWaiting() {
  if (netOpen_) return 0;
  auto s = session_;
  if (!s || !s->open) return 0;
  fetchLineErrors(*s);  // fetched and discarded, as a status refresh does
  int count = 0;
  if (int err = portio::bytesToRead(s->fd.get(), count)) {
    reportSystemError(err);
    return 0;
  }
  return count;
}

int32_t TSerial::TxWaiting() {
  if (netOpen_) return 0;
  auto s = session_;
  if (!s || !s->open) return 0;
  fetchLineErrors(*s);
  int count = 0;
  if (int err = portio::bytesToSend(s->fd.get(), count)) {
    reportSystemError(err);
    return 0;
  }
  return count;
}

int TSerial::readCharOn(const std::shared_ptr<TSerialSession>& s, char& ch, bool onWorker) {
  const uint32_t lineErrors = fetchLineErrors(*s);
  unsigned char byte = 0;
  int got = 0;
  int err;
  {
    std::lock_guard<std::mutex> lock(s->ioMutex);
    err = portio::readByte(s->fd.get(), byte, got);
    if (got) ++s->bytesRead;
  }
  // A line error is pending until a read consumes it: the byte read with it
  // is the bad one and is dropped.
  if (lineErrors) cErrorCode_ |= lineErrors;
  if (err != 0) {
    if (onWorker) {
      // Reports belong on the GUI thread, where the message box can be shown.
      if (oserr::deviceGone(err)) {
        s->lostError = err;
        s->vanished = true;
      }
      handOver(s, [this, s, err] {
        if (oserr::deviceGone(err))
          lineLost(s, err);
        else
          reportSystemError(err);
      });
    } else if (oserr::deviceGone(err)) {
      lineLost(s, err);
    } else {
      reportSystemError(err);
    }
    return 0;
  }
  if (got != 1) return 0;
  if (getFCErrorCode() != 0 || byte >= 0x80) {  // only 7-bit characters are delivered
    s->discarded = true;
    return 0;
  }
  ch = static_cast<char>(byte);
  return 1;
}

void TSerial::WriteString(const std::string& text) {
  if (netOpen_ && net_->Active()) {
    net_->WriteString(text);
    return;
  }
  auto s = session_;
  if (!s || !s->open || s->vanished) {
    reportError(kErrNotActive);
    return;
  }
  if (waitOnTxFull_) {
    if (text.size() > txQueueSize_) {
      reportError(kErrTooLong);  // could never fit; waiting would never end
      return;
    }
    // Wait for room with the GUI kept live, at most Timeout.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_);
    while (static_cast<int64_t>(txQueueSize_) - TxWaiting() < static_cast<int64_t>(text.size())) {
      if (Clock::now() >= deadline) {
        reportSystemError(ETIMEDOUT);
        return;
      }
      gui_.processPending();
      if (!s->open) {  // a handler closed the port meanwhile
        reportError(kErrNotActive);
        return;
      }
      portio::waitWritable(s->fd.get(), 10);
    }
  }
  int err = writeAll(*s, text);
  if (err == 0) return;
  if (oserr::deviceGone(err))
    lineLost(s, err);
  else
    reportSystemError(err);
}

int TSerial::writeAll(TSerialSession& s, const std::string& text) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_);
  const int fd = s.fd.get();
  size_t done = 0;
  while (done < text.size()) {
    if (flowMode_ == fcDTR_DSR && s.modemLines) {
      // No DTR/DSR line discipline on Linux: hold our own output until the
      // peer shows DSR.
      for (;;) {
        int bits = 0;
        int err = portio::modemStatus(fd, bits);
        if (err != 0) return err;
        if (bits & portio::kLineDSR) break;
        if (msLeft(deadline) == 0) return ETIMEDOUT;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(5, msLeft(deadline))));
      }
    }
    size_t written = 0;
    int err = portio::writeSome(fd, text.data() + done, text.size() - done, written);
    if (err != 0) return err;
    done += written;
    if (done == text.size()) break;
    // The driver's buffer is full: wait for room, at most Timeout in all.
    int left = msLeft(deadline);
    if (left == 0) return ETIMEDOUT;
    if (int e = portio::waitWritable(fd, std::min(left, 50))) return e;
  }
  if (hasTxEmpty_) {
    s.txPending = true;
    kickWorker();
  }
  return 0;
}

}  // namespace tessel
