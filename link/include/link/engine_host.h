#pragma once

// The link engine as both front ends run it: the serial component and the
// engine over the seams a front end gives (its event hand-over, tick timer,
// questions, settings store, COM port controls, terminal and log), the
// commands fed from the engine's events, and the register values the
// engine's reads go to. The window and tessel-cli each make one and add
// their own observers (monitor history, metrics, ...).
#include <memory>
#include <vector>

#include "link/command_feed.h"
#include "link/port_settings.h"
#include "link/tcom_port.h"
#include "model/register_values.h"
#include "serial/tserial.h"

namespace tessel {

class ComPortView;
class GuiDispatcher;
class LinkObserver;
class LogWriter;
class MainWindowModel;
class Prompts;
class SettingsStore;
class StatusBar;
class TerminalSink;
class TickTimer;

struct EngineSeams {
  GuiDispatcher& dispatcher;
  TickTimer& timer;
  Prompts& prompts;
  SettingsStore& settings;
  ComPortView& view;
  TerminalSink* terminal = nullptr;
  LogWriter* log = nullptr;
  // Observers that hear each event before the commands do (the window's
  // monitor history and task observer); removed again when the host goes.
  std::vector<LinkObserver*> firstObservers;
};

class EngineHost {
 public:
  // window takes the engine as its tasks.
  EngineHost(const EngineSeams& seams, MainWindowModel& window);
  // Nothing calls into the window once this goes: the engine is detached,
  // the observers removed, the engine ends before the serial component.
  ~EngineHost();
  EngineHost(const EngineHost&) = delete;
  EngineHost& operator=(const EngineHost&) = delete;

  TSerial& serial() { return *serial_; }
  TcomPort& engine() { return *engine_; }
  RegisterValues& values() { return *values_; }

  // The engine reports to status and calls callbacks (null: the register
  // values) for what it reads.
  void attach(StatusBar* status, MainWindowCallbacks* callbacks = nullptr);
  // The line the port talks at, as one value (what the COM port dialog's
  // controls set one by one).
  void setLine(const LineSettings& line);

 private:
  MainWindowModel& window_;
  std::vector<LinkObserver*> firstObservers_;
  std::unique_ptr<TSerial> serial_;
  std::unique_ptr<TcomPort> engine_;
  std::unique_ptr<CommandFeed> feed_;
  std::unique_ptr<RegisterValues> values_;
};

}  // namespace tessel
