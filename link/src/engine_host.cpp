#include "link/engine_host.h"

#include "link/link_serial.h"
#include "model/main_window_model.h"

namespace tessel {

EngineHost::EngineHost(const EngineSeams& seams, MainWindowModel& window)
    : window_(window),
      firstObservers_(seams.firstObservers),
      serial_(std::make_unique<TSerial>(seams.dispatcher, &seams.prompts, &seams.settings)) {
  configureLinkSerial(*serial_);
  engine_ = std::make_unique<TcomPort>(*serial_, seams.timer, seams.prompts, seams.settings,
                                       seams.view, seams.terminal, seams.log);
  for (LinkObserver* o : firstObservers_) engine_->addObserver(o);
  // The engine's events become the progress and the ends of the commands.
  feed_ = std::make_unique<CommandFeed>(window.commands);
  engine_->addObserver(feed_.get());
  values_ = std::make_unique<RegisterValues>(window);
  window.tasks = engine_.get();
}

EngineHost::~EngineHost() {
  engine_->AttachMainWindow(nullptr, nullptr);
  for (LinkObserver* o : firstObservers_) engine_->removeObserver(o);
  engine_->removeObserver(feed_.get());
  window_.tasks = nullptr;
  engine_.reset();
  serial_.reset();
}

void EngineHost::attach(StatusBar* status, MainWindowCallbacks* callbacks) {
  engine_->AttachMainWindow(status, callbacks ? callbacks : values_.get());
}

void EngineHost::setLine(const LineSettings& line) {
  engine_->comPortDialog().setLine(line);
}

}  // namespace tessel
