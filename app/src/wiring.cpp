#include "app/wiring.h"

#include <QSocketNotifier>

#include "link/engine_host.h"
#include "link/link_serial.h"
#include "link/log_writer.h"
#include "link/tcom_port.h"
#include "metrics/metrics_server.h"
#include "metrics/monitor_metrics.h"
#include "model/register_values.h"
#include "qtglue/qt_gui_dispatcher.h"
#include "serial/port_watch.h"
#include "serial/tserial.h"
#include "ui/com_port_window.h"
#include "ui/main_window.h"
#include "ui/parameter_panel.h"
#include "ui/qt_seams.h"
#include "ui/splash_window.h"
#include "ui/status_bar_widget.h"
#include "ui/terminal_window.h"

namespace tessel {

void connectComPortWindow(ComPortWindow& dialog, TcomPort& engine, RadioCommands* commands,
                          Prompts* prompts) {
  TcomPort* e = &engine;
  ComPortWindow::Handlers h;
  h.portNumberChange = [e] { e->comPortNumberChange(); };
  h.portNumberExit = [e] { e->comPortNumberExit(); };
  h.baudRateChange = [e] { e->baudRateChange(); };
  h.parityClick = [e] { e->parityClick(); };
  h.dataBitsClick = [e] { e->dataBitsClick(); };
  h.stopBitsClick = [e] { e->stopBitsClick(); };
  h.autoConfigureClick = [e, commands, prompts] {
    // The same button cancels a search that runs.
    if (!commands || e->comPortDialog().searchRunning()) {
      e->autoConfigureClick();
      return;
    }
    // The search meets what runs as every command does; the engine's own
    // refusal has told the user already.
    const CommandStart why = commands->autoConfigure([e] {
      e->autoConfigureClick();
      return e->comPortDialog().searchRunning();
    });
    if (why == CommandStart::Refused && prompts)
      prompts->show(PromptIcon::Warning,
                    commands->whyNot(ComPortDialog::kAutoConfigureCaption, why), pbOk);
  };
  h.defaultsClick = [e] { e->defaultsClick(); };
  h.finishClick = [e] { e->OkClick(); };
  h.hidden = [e] { e->FormHide(); };
  dialog.setHandlers(std::move(h));
}

Wiring::Wiring(const WiringOptions& options)
    : profile_(brandProfile(options.brandIndex)), dispatcher_(std::make_unique<QtGuiDispatcher>()) {
  if (options.settings) {
    settings_ = options.settings;
  } else {
    ownSettings_ = std::make_unique<QtSettingsStore>(QLatin1String(profile_.maker),
                                                     QLatin1String(profile_.productName));
    settings_ = ownSettings_.get();
  }
  if (options.prompts) {
    prompts_ = options.prompts;
  } else {
    auto prompts = std::make_unique<QtPrompts>(QLatin1String(profile_.productName));
    ownPrompts_ = std::move(prompts);
    prompts_ = ownPrompts_.get();
  }
  if (options.timer) {
    timer_ = options.timer;
  } else {
    ownTimer_ = std::make_unique<QtTickTimer>();
    timer_ = ownTimer_.get();
  }

  // The main window first, then the COM port dialog with the link engine,
  // the terminal and the splash window.
  window_ = std::make_unique<MainWindow>(profile_, *settings_, *prompts_, options.emulateEntry);
  if (auto* qtPrompts = dynamic_cast<QtPrompts*>(prompts_)) qtPrompts->setParent(window_.get());
  comPort_ = std::make_unique<ComPortWindow>(settings_);
  terminal_ = std::make_unique<TerminalWindow>(settings_);
  log_ = std::make_unique<LogWriter>(settings_, options.dataDir);
  // Every finished poll goes into the monitor history.
  host_ = std::make_unique<EngineHost>(
      EngineSeams{*dispatcher_,
                  *timer_,
                  *prompts_,
                  *settings_,
                  *comPort_,
                  terminal_.get(),
                  log_.get(),
                  {window_->historyRecorder(), window_->taskObserver()}},
      window_->model());
  TcomPort* engine = &host_->engine();
  connectComPortWindow(*comPort_, *engine, &window_->model().commands, prompts_);
  // The port opens before the window takes any command, not at the engine's
  // first tick: a Get Local clicked at once must find it open. A port that
  // fails here is tried again by the ticks, which say so in the end.
  engine->comPortDialog().openPort();
  splash_ = std::make_unique<SplashWindow>();
  window_->setWindows(terminal_.get(), comPort_.get(), splash_.get());

  // The engine as the window sees it.
  window_->hooks.queueLength = [engine] { return engine->queue().Count(); };
  window_->hooks.setLogging = [engine](bool on, const std::string& header) {
    if (on) engine->setLogHeader(header);
    engine->setLogging(on);
  };
  window_->hooks.setPollInterval = [engine](int ms) { engine->setPollInterval(ms); };
  window_->hooks.attachCallbacks = [this](MainWindowCallbacks* callbacks) {
    // A dialog that gives the engine back as the window goes finds no
    // status bar any more.
    host_->attach(window_ ? window_->statusBarWidget() : nullptr, callbacks);
  };
  window_->hooks.portOpen = [this] { return host_->serial().Active(); };
  window_->model().portName = [this] { return "COM" + comPort_->portNumberText(); };
  window_->hooks.quietSends = [engine](bool on) { engine->setQuietSends(on); };
  window_->onModeSwitched = [this, engine](int) {
    host_->attach(window_->statusBarWidget());
    if (engine->pollInterval() == 0) engine->setPollInterval(1000);
    // A project opened or closed: its radios are the ones served.
    if (metrics_) metrics_->refresh();
  };
  terminal_->onSend = [engine](const std::string& line) { engine->Send(true, 0, line); };

  // The COM port dialog follows adapters being plugged and unplugged; the
  // kernel tells, nothing polls. Without inotify the list is as at start.
  comPort_->devRoot = options.devRoot;
  portWatch_ = std::make_unique<PortWatch>(options.devRoot);
  // Where the system tells through a descriptor (Linux); Windows tells only
  // a waiting thread, so there the list is as at start.
  if (portWatch_->start() == 0 && portWatch_->fd() >= 0) {
    portWatch_->setOnChange([this](const PortChange&) { comPort_->refreshPorts(); });
    portNotifier_ = std::make_unique<QSocketNotifier>(portWatch_->fd(), QSocketNotifier::Read);
    PortWatch* watch = portWatch_.get();
    QObject::connect(portNotifier_.get(), &QSocketNotifier::activated, portNotifier_.get(),
                     [watch] { watch->readEvents(); });
  }

  // The monitor's readings for a monitoring server, served from the start
  // so a scraper sees the monitor stopped as well as running.
  if (!options.metricsAddress.empty()) {
    metrics_ = std::make_unique<MonitorMetrics>(window_->model());
    MonitorMetrics* metrics = metrics_.get();
    metricsServer_ = std::make_unique<MetricsServer>([metrics] { return metrics->exposition(); });
    std::string error;
    if (metricsServer_->start(options.metricsAddress, error)) {
      engine->addObserver(metrics);
    } else {
      metricsServer_.reset();
      metrics_.reset();
      prompts_->show(PromptIcon::Error, error, pbOk);
    }
  }

  window_->start(options.dataDir);
  if (!options.projectPath.empty()) window_->openProjectAtStart(options.projectPath);
}

Wiring::~Wiring() {
  portNotifier_.reset();
  portWatch_.reset();
  // Nothing may call into the windows once they start to go.
  host_->engine().AttachMainWindow(nullptr, nullptr);
  // The server's threads read the metrics: it stops first.
  metricsServer_.reset();
  if (metrics_) host_->engine().removeObserver(metrics_.get());
  metrics_.reset();
  window_->onModeSwitched = nullptr;
  window_->hooks = MainWindow::EngineHooks{};
  terminal_->onSend = nullptr;
  comPort_->setHandlers({});
  // The engine saves the port settings from the dialog it shows.
  host_.reset();
  log_.reset();
  splash_.reset();
  window_.reset();
  terminal_.reset();
  comPort_.reset();
}

}  // namespace tessel
