// The serial component on the Win32 comm functions: open and close, line
// settings, reads and writes, the modem lines. The rest of TSerial is shared
// with the other systems (tserial.cpp).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "dcb_line.h"
#include "event_thread.h"
#include "os_error.h"
#include "serial/net_port.h"
#include "serial/port_errors.h"
#include "serial/tserial.h"
#include "session.h"

namespace tessel {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kLeaveWait = std::chrono::milliseconds(750);  // the close's bound on the worker
constexpr DWORD kReadWaitMs = 100;                           // a read that did not end at once
constexpr DWORD kLineErrors = CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK;

// Which output line setControlLine sets.
constexpr int kLineDTR = 1;
constexpr int kLineRTS = 2;

// "\\.\COM12": the name the system opens a port by (COM10 and up need it).
std::string systemName(const std::string& device) {
  if (device.rfind("\\\\.\\", 0) == 0) return device;
  return "\\\\.\\" + device;
}

// A driver without modem lines answers the modem calls so (a
// pseudo-terminal under Wine); that is not a failure of the port.
bool unsupported(DWORD err) {
  return err == ERROR_NOT_SUPPORTED || err == ERROR_INVALID_PARAMETER ||
         err == ERROR_INVALID_FUNCTION;
}

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
  // Read and write, not shared with anyone (the exclusive open), only if it
  // exists, for overlapped I/O.
  s->handle.reset(CreateFileA(systemName(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  if (!s->handle.valid()) {
    const int err = static_cast<int>(GetLastError());
    s.reset();
    reportSystemError(err, openErrorMessage(err, device));
    return;
  }
  int err = static_cast<int>(s->readIo.prepare());
  if (err == 0) err = static_cast<int>(s->writeIo.prepare());
  if (err != 0) {
    reportSystemError(err);
    return;
  }
  const HANDLE h = s->handle.get();
  if (!SetupComm(h, rxQueueSize_, txQueueSize_)) reportSystemError(GetLastError());
  DWORD status = 0;
  s->modemLines = GetCommModemStatus(h, &status) || !unsupported(GetLastError());
  s->eventMask = commEventMask(s->modemLines);

  // The line is configured before the session is published: a port whose
  // settings did not take stays closed (and reported), never active with the
  // wrong ones.
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  err = GetCommState(h, &dcb) ? 0 : static_cast<int>(GetLastError());
  if (err == 0) {
    applyLineSettings(LineSettings(), dcb);
    if (lineSetter_) err = lineSetter_(LineSettings());
    if (err == 0 && !SetCommState(h, &dcb)) err = static_cast<int>(GetLastError());
  }
  if (err == 0) {
    // Reads return at once with what is queued; with flow control a write
    // ends after Timeout at the latest.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    if (flowMode_ != fcNone) t.WriteTotalTimeoutConstant = timeout_;
    if (!SetCommTimeouts(h, &t)) err = static_cast<int>(GetLastError());
  }
  // Without its mask the event thread would never report an arrival.
  if (err == 0 && !SetCommMask(h, s->eventMask)) err = static_cast<int>(GetLastError());
  if (err != 0) {
    reportSystemError(err);
    return;
  }
  // A port starts with an empty receive queue: bytes left in the driver by an
  // earlier user of the device would otherwise be taken for replies.
  if (!PurgeComm(h, PURGE_RXCLEAR)) reportSystemError(GetLastError());

  setControlLine(*s, kLineDTR, true, false);
  setControlLine(*s, kLineRTS, true, false);

  {
    std::lock_guard<std::mutex> lock(mutex_);
    s->open = true;
    session_ = s;
  }
  lineLost_.clear();

  if (int e = thread_->resume()) {
    closeLocalPort(true);
    reportSystemError(e);
    return;
  }
  thread_->kick();
}

void TSerial::closeLocalPort(bool quiet) {
  auto s = session_;
  if (!s) return;
  quiet = quiet || s->vanished;
  const HANDLE h = s->handle.get();
  // The pending operations are aborted; the queues are not cleared.
  if (!PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT) && !quiet) reportSystemError(GetLastError());
  setControlLine(*s, kLineDTR, false, quiet);
  setControlLine(*s, kLineRTS, false, quiet);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    s->open = false;
    session_.reset();
  }
  // An empty event mask ends the event thread's wait; a hand-over it is
  // waiting for will not run.
  cancelHandOver();
  if (!SetCommMask(h, 0) && !quiet) reportSystemError(GetLastError());
  thread_->kick();
  {
    std::unique_lock<std::mutex> lock(mutex_);
    workerLeft_.wait_for(lock, kLeaveWait, [&] { return !threadInWait_; });
  }
  // Whoever closes a session whose device went away tells of it, once: the
  // event thread's report may have been cancelled by this very close.
  if (s->vanished) reportLoss(*s);
  // The handle closes as the last holder lets go: here, once the event
  // thread left it.
}

void TSerial::setControlLine(TSerialSession& session, int line, bool on, bool quiet) {
  if (!session.modemLines) return;
  // A line the driver runs for a handshake is not set by hand.
  if (line == kLineDTR && flowMode_ == fcDTR_DSR) return;
  if (line == kLineRTS && flowMode_ == fcRTS_CTS) return;
  const DWORD function = line == kLineDTR ? (on ? SETDTR : CLRDTR) : (on ? SETRTS : CLRRTS);
  if (!EscapeCommFunction(session.handle.get(), function) && !quiet)
    reportSystemError(GetLastError());
}

uint32_t TSerial::fetchLineErrors(TSerialSession& s) {
  COMSTAT cs{};
  DWORD errors = 0;
  uint32_t flags = s.heldErrors.exchange(0);
  if (ClearCommError(s.handle.get(), &errors, &cs)) flags |= errors & kLineErrors;
  return flags;
}

int32_t TSerial::RxWaiting() {
  if (netOpen_) return 0;
  auto s = session_;
  if (!s || !s->open) return 0;
  COMSTAT cs{};
  DWORD errors = 0;  // fetched and discarded, as a status refresh does
  s->heldErrors = 0;
  if (!ClearCommError(s->handle.get(), &errors, &cs)) {
    reportSystemError(GetLastError());
    return 0;
  }
  return static_cast<int32_t>(cs.cbInQue);
}

int32_t TSerial::TxWaiting() {
  if (netOpen_) return 0;
  auto s = session_;
  if (!s || !s->open) return 0;
  COMSTAT cs{};
  DWORD errors = 0;
  s->heldErrors = 0;
  if (!ClearCommError(s->handle.get(), &errors, &cs)) {
    reportSystemError(GetLastError());
    return 0;
  }
  return static_cast<int32_t>(cs.cbOutQue);
}

int TSerial::readCharOn(const std::shared_ptr<TSerialSession>& s, char& ch, bool onWorker) {
  unsigned char byte = 0;
  DWORD got = 0;
  int err = 0;
  uint32_t lineErrors = 0;
  {
    std::lock_guard<std::mutex> lock(s->ioMutex);
    const HANDLE h = s->handle.get();
    COMSTAT cs{};
    DWORD errors = 0;
    lineErrors = s->heldErrors.exchange(0);
    if (ClearCommError(h, &errors, &cs))
      lineErrors |= errors & kLineErrors;
    else
      err = static_cast<int>(GetLastError());
    // Nothing queued: no read is started, so none can take a byte later into
    // a buffer no one looks at.
    if (err == 0 && cs.cbInQue > 0) {
      win32io::Overlapped& io = s->readIo;
      io.clear();
      if (!ReadFile(h, &byte, 1, &got, &io.block)) {
        const DWORD e = GetLastError();
        if (e != ERROR_IO_PENDING) {
          err = static_cast<int>(e);
        } else if (WaitForSingleObject(io.event.get(), kReadWaitMs) == WAIT_OBJECT_0) {
          if (!GetOverlappedResult(h, &io.block, &got, FALSE))
            err = static_cast<int>(GetLastError());
        } else {
          // Not done in time: cancelled, keeping a byte that came meanwhile.
          CancelIoEx(h, &io.block);
          if (!GetOverlappedResult(h, &io.block, &got, TRUE)) got = 0;
        }
      }
      io.clear();
      if (got == 1) ++s->bytesRead;
    }
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
        reportSystemError(oserr::kTimedOut);
        return;
      }
      gui_.processPending();
      if (!s->open) {  // a handler closed the port meanwhile
        reportError(kErrNotActive);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
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
  if (text.empty()) return 0;
  const HANDLE h = s.handle.get();
  win32io::Overlapped& io = s.writeIo;
  if (hasTxEmpty_) s.txPending = true;
  for (int attempt = 0;; ++attempt) {
    io.clear();
    DWORD written = 0;
    DWORD err = 0;
    if (!WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, &io.block)) {
      err = GetLastError();
      if (err == ERROR_IO_PENDING) {
        err = 0;
        if (WaitForSingleObject(io.event.get(), timeout_) == WAIT_OBJECT_0) {
          if (!GetOverlappedResult(h, &io.block, &written, FALSE)) err = GetLastError();
        } else {
          // Still pending after Timeout: cancelled, so the block is free for
          // the next write, and told as a timeout.
          CancelIoEx(h, &io.block);
          GetOverlappedResult(h, &io.block, &written, TRUE);
          io.clear();
          return oserr::kTimedOut;
        }
      }
    }
    io.clear();
    // A line error makes the driver refuse writes until its flags are
    // fetched; they are kept for the reader, and the write is made again.
    if (err == ERROR_OPERATION_ABORTED && attempt == 0) {
      s.heldErrors |= fetchLineErrors(s);
      continue;
    }
    if (err != 0) return static_cast<int>(err);
    // With flow control the driver gives up after Timeout with part sent.
    return written == text.size() ? 0 : oserr::kTimedOut;
  }
}

}  // namespace tessel
