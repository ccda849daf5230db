#pragma once

// The program's parts and how they are joined: the windows, the serial
// port, the link engine and its callbacks, created in the program's order.
// Everything the window asks of the engine, and the engine of the window,
// is connected here and nowhere else.
#include <memory>
#include <string>

#include "link/engine_host.h"
#include "model/brand_profile.h"

class QSocketNotifier;

namespace tessel {

class ComPortWindow;
class CommandFeed;
class EngineHost;
class GuiDispatcher;
class PortWatch;
class LogWriter;
class MainWindow;
class MetricsServer;
class MonitorMetrics;
class Prompts;
class RadioCommands;
class RegisterValues;
class SettingsStore;
class SplashWindow;
class TSerial;
class TcomPort;
class TerminalWindow;
class TickTimer;

// The COM port dialog's user edits run the engine's handlers; its search
// meets the commands that run as the commands' table says (without
// commands it starts as the engine allows), a refusal told through prompts.
void connectComPortWindow(ComPortWindow& dialog, TcomPort& engine,
                          RadioCommands* commands = nullptr, Prompts* prompts = nullptr);

struct WiringOptions {
  int brandIndex = 0;
  bool emulateEntry = false;
  // Where the logs and the default project go.
  std::string dataDir;
  // Replacements for tests; the real ones when null.
  SettingsStore* settings = nullptr;
  Prompts* prompts = nullptr;
  TickTimer* timer = nullptr;
  // Watched for serial adapters coming and going (a fake folder in tests).
  std::string devRoot = "/dev";
  // A project to open instead of the default one; empty for none.
  std::string projectPath;
  // Where the monitor's readings are served for a monitoring server
  // ("HOST:PORT"); empty for nowhere.
  std::string metricsAddress;
};

class Wiring {
 public:
  explicit Wiring(const WiringOptions& options);
  ~Wiring();
  Wiring(const Wiring&) = delete;
  Wiring& operator=(const Wiring&) = delete;

  MainWindow& window() { return *window_; }
  TcomPort& engine() { return host_->engine(); }
  TerminalWindow& terminal() { return *terminal_; }
  ComPortWindow& comPort() { return *comPort_; }
  SplashWindow& splash() { return *splash_; }
  SettingsStore& settings() { return *settings_; }
  TSerial& serial() { return host_->serial(); }
  // The server of the monitor's readings; null without --metrics or when
  // it could not listen.
  MetricsServer* metricsServer() { return metricsServer_.get(); }

 private:
  const BrandProfile& profile_;
  std::unique_ptr<GuiDispatcher> dispatcher_;
  std::unique_ptr<SettingsStore> ownSettings_;
  std::unique_ptr<Prompts> ownPrompts_;
  std::unique_ptr<TickTimer> ownTimer_;
  SettingsStore* settings_;
  Prompts* prompts_;
  TickTimer* timer_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<ComPortWindow> comPort_;
  std::unique_ptr<TerminalWindow> terminal_;
  std::unique_ptr<LogWriter> log_;
  std::unique_ptr<EngineHost> host_;
  std::unique_ptr<SplashWindow> splash_;
  std::unique_ptr<PortWatch> portWatch_;
  std::unique_ptr<QSocketNotifier> portNotifier_;
  std::unique_ptr<MonitorMetrics> metrics_;
  std::unique_ptr<MetricsServer> metricsServer_;
};

}  // namespace tessel
