// The link engine's states as one table, and the ticks and received lines
// that drive them.
#include "engine_texts.h"
#include "link/tcom_port.h"
#include "seams/tick_timer.h"
#include "serial/serial_link.h"
#include "text_util.h"

namespace tessel {

namespace {

using T = TcomPort;

// A step that goes on at once is followed by the next at once; a chain
// never runs longer than this (each step sends a line or changes state).
constexpr int kStepsAtOnce = 8;

}  // namespace

// Indexed by PortState, in its order. A state without an answer handler
// takes no answer (its lines are dropped); the tick of psError and the
// connect's refusals are no failure: the radio answered. Only the states
// that talk to a dialled radio have its link to lose; in the others
// "NO CARRIER" only tells where the link is.
// clang-format off
const TcomPort::StateRow TcomPort::kStates[] = {
//  tick               answer              refusal             link lost               status            connect prompt
  {&T::errorTick,     nullptr,            nullptr,            nullptr,                "Error",           false, true },  // psError
  {&T::noTick,        nullptr,            nullptr,            nullptr,                "Idle",            false, false},  // psIdle
  {&T::connectTick,   &T::connectAnswer,  &T::connectAnswer,  nullptr,                "Poll",            true,  false},  // psConfig16at
  {&T::connectTick,   &T::connectAnswer,  &T::connectAnswer,  nullptr,                "Poll",            true,  false},  // psConfig16plus
  {&T::connectTick,   &T::connectAnswer,  &T::connectAnswer,  nullptr,                "Poll",            true,  false},  // psConfig32
  {&T::connectTick,   &T::connectAnswer,  &T::connectAnswer,  nullptr,                "Poll",            true,  false},  // psConfig0
  {&T::connectTick,   &T::connectAnswer,  &T::connectAnswer,  nullptr,                "Poll",            true,  false},  // psConfigAuto
  {&T::connectTick,   &T::connectAnswer,  &T::connectAnswer,  nullptr,                "Poll",            true,  false},  // psConfigManual
  {&T::identifyTick,  &T::identification, &T::identification, nullptr,                "Getting Values",  false, false},  // psLocalATI
  {&T::identifyTick,  &T::pageAnswer,     &T::pageAnswer,     nullptr,                "Getting Values",  false, false},  // psLocalATIx
  {&T::sentAthTick,   nullptr,            &T::sentAthRefusal, nullptr,                "Disconnecting",   false, false},  // psSentATH
  {&T::sentAtdTick,   &T::sentAtdAnswer,  &T::sentAtdAnswer,  nullptr,                "Connecting",      false, true },  // psSentATD
  {&T::localTick,     nullptr,            nullptr,            nullptr,                "Local radio",     false, true },  // psAutoDiscover0
  {&T::dialTick,      &T::dialAnswer,     &T::dialAnswer,     nullptr,                "Dialling",        false, true },  // psAutoDiscoverX
  {&T::registerTick,  &T::registerAnswer, &T::registerAnswer, &T::registerLinkLost,   "Getting Values",  false, false},  // psDiscoverSRegs
  {&T::sendTick,      &T::sendAnswer,     &T::sendAnswer,     &T::sendLinkLost,       nullptr,           false, true },  // psSendQueue
  {&T::noTick,        nullptr,            nullptr,            nullptr,                "Emulating group", false, false},  // psEmulate
};
// clang-format on

const TcomPort::StateRow& TcomPort::row(PortState state) {
  static_assert(sizeof(kStates) / sizeof(kStates[0]) == psEmulate + 1, "a row for every state");
  return kStates[state <= psEmulate ? state : psIdle];
}

void TcomPort::apply(Next next) {
  if (next.state == Next::kStay || next.state == state_) return;
  const PortState from = state_;
  state_ = static_cast<PortState>(next.state);
  // No radio is being read once the engine rests: what its replies stored
  // goes to the file now.
  if (state_ == psIdle || state_ == psError) window_.endReplies();
  reporter_.stateChanged(from, state_);
}

// ---------------------------------------------------------------- ticks

void TcomPort::msgTimerTimer() {
  if (gate_.hold(PromptGate::Event::Tick)) return;
  owed_.tick();
  goOnDue_ = false;  // the tick is the step that was due
  step(true);
  owed_.tickDone();
}

// A tick, or a step the last one asked to run at once (timed false).
void TcomPort::step(bool timed) {
  timer_.stop();
  ++tickCount_;
  if (dialog_.portListWanted()) {
    dialog_.rebuildPortList();
    return;
  }
  if (lineGone_ && !serial_.Active()) {
    // Told once already; retrying a vanished device would only repeat it.
    refreshStatus();
    return;
  }
  if (!serial_.Active()) {
    portUnavailable();
    refreshStatus();
    return;
  }
  dialog_.updateControls();
  if (timed && owed_.holding()) {
    // The answers of a command asked more than once are still coming: the
    // next command waits for them (each is dropped) or for their time out.
    goOnDue_ = true;
    refreshStatus();
  } else {
    timerAction();
  }
  restartTimer();
  refreshStatus();
}

void TcomPort::timerAction() {
  for (int steps = 0; steps < kStepsAtOnce; ++steps) {
    prevState_ = state_;
    refreshStatus();
    stateHandled(false);
    const Next next = (this->*row(state_).tick)();
    apply(next);
    if (!next.goOn) return;
    if (!owed_.settled()) {
      goOnDue_ = true;
      return;
    }
    ++tickCount_;
  }
}

// A line that was no task's (the hang-up that ended the last task, a line
// typed in the terminal) is answered first: the step after it waits.
void TcomPort::goOnIfDue() {
  if (!goOnDue_ || !owed_.settled() || owed_.ownerlessOwed()) return;
  goOnDue_ = false;
  step(false);
}

Next TcomPort::identifyTick() {
  // A radio that stops answering in the middle of its identification
  // must not hold the engine for ever.
  tries_ += 1;
  return tries_ > kRetryLimit ? to(psError) : stay();
}

Next TcomPort::sentAthTick() {
  dialog_.applyCode(dialog_.nextCode());
  return to(psConfig16at);
}

Next TcomPort::sentAtdTick() {
  if (current_) current_->Next();
  return stay();
}

// ---------------------------------------------------------------- lines

void TcomPort::Serial1RxData() {
  if (gate_.hold(PromptGate::Event::Received)) return;  // the bytes wait in the port
  timer_.stop();
  char ch;
  std::string line;
  inBatch_ = true;
  while (serial_.ReadChar(ch) == 1) {
    if (assembler_.feed(ch, state_ == psEmulate, line)) lineComplete(line);
  }
  // What the answers asked for runs once every line that came with them was
  // matched: a doubled answer is then dropped, not taken for the next one.
  flushDeferred();
  goOnIfDue();
  restartTimer();
}

void TcomPort::lineComplete(const std::string& line) {
  ++tickCount_;
  reporter_.lineReceived(line);
  lineInHand_ = line;
  if (state_ == psEmulate)
    emulator_.reply(classifyReply(line), text::upperCase(line), current_.get());
  else
    handleLine(line);
  lineInHand_.clear();
}

// Only the answer to a command the state asked reaches its handler: echoes,
// noise, late and doubled answers and the answers to lines that were no
// task's are dropped by the owed exchanges (the terminal and log show them).
void TcomPort::handleLine(const std::string& line) {
  stateHandled(true);
  if (text::isNoCarrier(line)) {
    carrierLost();
    return;
  }
  Answer answer;
  const OwedExchanges::Match match = owed_.match(line, answer);
  // The link's own commands are followed whoever waits for their answer.
  if (answer.final) link_.answered(answer.command, answer.rc);
  if (match != OwedExchanges::Match::Answer) return;
  if (answer.awaited) tries_ = 0;
  const StateRow& r = row(state_);
  const auto handler = answer.rc == rcError ? r.refusal : r.answer;
  if (!handler) return;
  const Next next = (this->*handler)(answer);
  apply(next);
  if (next.goOn) goOnDue_ = true;
}

// The local radio hung up on its own. What the radio it had reached owed
// will never come; a line of the local radio's answering it must not pass
// for that radio's. The state that talked to it ends its exchange.
void TcomPort::carrierLost() {
  const int radio = link_.carrierLost();
  if (radio < 0) return;  // no link was up: the line only says so
  owed_.clear();
  reporter_.linkDropped(radio, texts::linkLost(radio));
  const auto handler = row(state_).carrierLost;
  if (handler) apply((this->*handler)(radio));
}

Next TcomPort::sentAthRefusal(const Answer&) {
  sendNow(0, "ATD");
  return to(psSentATD);
}

Next TcomPort::sentAtdAnswer(const Answer& answer) {
  if (answer.rc == rcOK) {
    transmit(true, 0, "ATH", false);
    return to(prevState_);
  }
  if (answer.rc == rcError) {
    // The read ends here: left in this state, the hang-up's "OK" would pass
    // for the dial's and the read would start over, and fail, for ever.
    const bool master = window_.isMaster(current());
    const TaskCode ended = task_;
    link_.sendClosing("ATH");
    goIdle();
    window_.readDone();
    reporter_.taskEnded(
        ended, Outcome{TaskEnd::Refused, master ? texts::kAtdError : "", current(), {}, master});
    if (master) ask(PromptIcon::Warning, texts::kAtdError, pbAbort);
  }
  return stay();
}

}  // namespace tessel
