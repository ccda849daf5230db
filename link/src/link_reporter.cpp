#include "link/link_reporter.h"

#include <algorithm>

#include "link/log_writer.h"
#include "link/status_bar.h"
#include "link/terminal_sink.h"

namespace tessel {

void TerminalFeed::lineSent(const std::string& line) {
  if (terminal_) terminal_->addLine(" < " + line);
}

void TerminalFeed::lineReceived(const std::string& line) {
  if (terminal_) terminal_->addLine(" > " + line);
}

void TerminalFeed::linkDropped(int, const std::string& message) {
  if (terminal_) terminal_->addLine(" ! " + message);
}

void TerminalFeed::lineWithheld(const std::string& line) {
  if (terminal_) terminal_->addLine(" ! not sent, the link is not on its radio: " + line);
}

void LogFeed::setLogging(bool on, const std::string& header) {
  const bool starting = on && !on_;
  on_ = on;
  if (starting) write(LogWriter::kInfo, header);
}

void LogFeed::write(char kind, const std::string& text) {
  if (on_ && log_) log_->write(kind, tick_ ? tick_() : 0, text);
}

void LogFeed::stateHandled(const char* stateName, const std::string& pending) {
  write(LogWriter::kInfo, std::string("> State:") + stateName + ", " + pending);
}

void LogFeed::lineSubmitted(const std::string& line) {
  write(LogWriter::kProtocol, "Send(): " + line);
}

void LogFeed::receiveOverflow(size_t limit) {
  write(LogWriter::kError, "Receive buffer over " + std::to_string(limit) +
                               " characters without a line end, oldest dropped");
}

void LogFeed::lineLost(const std::string& message) {
  write(LogWriter::kError, message);
}

void LogFeed::linkDropped(int, const std::string& message) {
  write(LogWriter::kError, message);
}

void LogFeed::lineWithheld(const std::string& line) {
  write(LogWriter::kError, "Not sent, the link is not on its radio: " + line);
}

void StatusBarFeed::queueLengthChanged(int) {
  if (statusBar_) statusBar_->repaint();  // the main window's queue gauge
}

void StatusBarFeed::statusChanged(const LinkStatus& status) {
  if (!statusBar_) return;
  const int width = statusBar_->clientWidth();
  statusBar_->setPanelWidth(0, width / 2);
  statusBar_->setPanelWidth(1, width / 4);
  statusBar_->setPanelText(0, status.port);
  if (status.task) statusBar_->setPanelText(1, *status.task);
  if (status.ownerDrawn) statusBar_->setPanel2OwnerDrawn(*status.ownerDrawn);
  if (status.state) statusBar_->setPanelText(2, *status.state);
  statusBar_->setGaugeCaption(status.pacingBrief, status.pacing);
  statusBar_->repaint();
}

LinkReporter::LinkReporter(TerminalSink* terminal, LogWriter* log, std::function<int()> tick)
    : terminal_(terminal), log_(log, std::move(tick)) {
  observers_ = {&terminal_, &log_, &status_};
}

void LinkReporter::addObserver(LinkObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void LinkReporter::removeObserver(LinkObserver* observer) {
  // The engine's own listeners stay.
  if (observer == &terminal_ || observer == &log_ || observer == &status_) return;
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

template <typename Event>
void LinkReporter::each(Event event) {
  // A listener may add or remove listeners while it is told.
  const std::vector<LinkObserver*> listeners = observers_;
  for (LinkObserver* o : listeners)
    if (std::find(observers_.begin(), observers_.end(), o) != observers_.end()) event(*o);
}

void LinkReporter::stateChanged(PortState from, PortState to) {
  each([&](LinkObserver& o) { o.stateChanged(from, to); });
}

void LinkReporter::taskChanged(TaskCode from, TaskCode to) {
  each([&](LinkObserver& o) { o.taskChanged(from, to); });
}

void LinkReporter::stateHandled(const char* stateName, const std::string& pending) {
  each([&](LinkObserver& o) { o.stateHandled(stateName, pending); });
}

void LinkReporter::lineSubmitted(const std::string& line) {
  each([&](LinkObserver& o) { o.lineSubmitted(line); });
}

void LinkReporter::lineSent(const std::string& line) {
  each([&](LinkObserver& o) { o.lineSent(line); });
}

void LinkReporter::lineReceived(const std::string& line) {
  each([&](LinkObserver& o) { o.lineReceived(line); });
}

void LinkReporter::receiveOverflow(size_t limit) {
  each([&](LinkObserver& o) { o.receiveOverflow(limit); });
}

void LinkReporter::dialling(int radio) {
  each([&](LinkObserver& o) { o.dialling(radio); });
}

void LinkReporter::radioPolled(int radio) {
  each([&](LinkObserver& o) { o.radioPolled(radio); });
}

void LinkReporter::taskEnded(TaskCode task, const Outcome& outcome) {
  each([&](LinkObserver& o) { o.taskEnded(task, outcome); });
}

void LinkReporter::lineLost(const std::string& message) {
  each([&](LinkObserver& o) { o.lineLost(message); });
}

void LinkReporter::linkDropped(int radio, const std::string& message) {
  each([&](LinkObserver& o) { o.linkDropped(radio, message); });
}

void LinkReporter::lineWithheld(const std::string& line) {
  each([&](LinkObserver& o) { o.lineWithheld(line); });
}

void LinkReporter::lineConfirmed(const std::string& line) {
  each([&](LinkObserver& o) { o.lineConfirmed(line); });
}

void LinkReporter::queueLengthChanged(int count) {
  each([&](LinkObserver& o) { o.queueLengthChanged(count); });
}

void LinkReporter::statusChanged(const LinkStatus& status) {
  each([&](LinkObserver& o) { o.statusChanged(status); });
}

}  // namespace tessel
