#include <windows.h>
// After windows.h, which these need.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <csignal>
#include <cstdio>
#include <map>
#include <mutex>

#include "platform/console.h"
#include "wide.h"

namespace tessel::platform {

void prepareConsole() {
  // The bytes written are the bytes that arrive: the same output as on
  // POSIX, whatever reads it.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
  int n = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
  if (!wide) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
  std::vector<std::string> args;
  for (int i = 1; i < n; ++i) args.push_back(win32::narrow(wide[i], wcslen(wide[i])));
  LocalFree(wide);
  return args;
}

namespace {

// The watches alive; the console's control handler runs on a thread the
// system makes for each event, and calls them.
std::mutex watchesMutex;
std::map<const InterruptWatch*, std::function<void(int)>>& watches() {
  static std::map<const InterruptWatch*, std::function<void(int)>> all;
  return all;
}

BOOL WINAPI onConsoleEvent(DWORD event) {
  const int sig = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
  // Called under the lock, so a watch being destroyed waits for the call
  // and is never called after.
  std::lock_guard<std::mutex> lock(watchesMutex);
  // Without a watch the event ends the program, as it would without us.
  if (watches().empty()) return FALSE;
  for (auto& [watch, handler] : watches())
    if (handler) handler(sig);
  return TRUE;
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void(int)> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
  std::lock_guard<std::mutex> lock(watchesMutex);
  if (watches().empty()) SetConsoleCtrlHandler(onConsoleEvent, TRUE);
  watches()[this] = onInterrupt_;
}

InterruptWatch::~InterruptWatch() {
  std::lock_guard<std::mutex> lock(watchesMutex);
  watches().erase(this);
  if (watches().empty()) SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}

}  // namespace tessel::platform
