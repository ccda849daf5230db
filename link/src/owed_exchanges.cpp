#include "link/owed_exchanges.h"

#include "text_util.h"

namespace tessel {

namespace {

std::string trimmed(const std::string& line) {
  const size_t begin = line.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return std::string();
  const size_t end = line.find_last_not_of(" \t\r\n");
  return line.substr(begin, end + 1 - begin);
}

std::string keyOf(const std::string& line) {
  return text::upperCase(trimmed(line));
}

bool printable(const std::string& s) {
  if (s.empty()) return false;
  for (unsigned char c : s)
    if (c < 0x20 || c > 0x7e) return false;
  return true;
}

// Result codes a modem sends of its own accord; never a value or a page.
bool unsolicited(const std::string& key) {
  static const char* const kCodes[] = {"RING", "NO CARRIER",  "NO DIALTONE", "NO ANSWER",
                                       "BUSY", "LINK BROKEN", "CONNECT"};
  for (const char* code : kCodes)
    if (key == code) return true;
  return false;
}

ReplyClass classOf(const std::string& key) {
  if (key == "OK") return rcOK;
  if (key == "ERROR") return rcError;
  // The radio's word for a command it will not do ("COMMAND IGNORED"): the
  // whole last word, never a part of one.
  const std::string ignored = "IGNORED";
  if (key == ignored ||
      (key.size() > ignored.size() &&
       key.compare(key.size() - ignored.size() - 1, std::string::npos, " " + ignored) == 0))
    return rcIgnored;
  return rcText;
}

}  // namespace

Ending endingOf(const std::string& command) {
  const std::string key = keyOf(command);
  if (key.find("AT&R") != std::string::npos) return Ending::Nothing;
  if (key == "ATI") return Ending::Line;
  if (key.rfind("ATI", 0) == 0) return Ending::Page;
  if (key.rfind("ATD", 0) == 0) return Ending::Dial;
  if (key.rfind("ATS", 0) == 0 && key.back() == '?') return Ending::Value;
  return Ending::Ok;
}

void OwedExchanges::sent(const std::string& command, bool deliver, bool resend,
                         const ValueFits& fits) {
  const std::string key = keyOf(command);
  lastKey_ = key;
  const Ending ending = endingOf(command);
  if (ending == Ending::Nothing) return;
  // Asked again: the first ask's answer may still come, then the second's.
  if (resend && !owed_.empty() && owed_.back().key == key && !owed_.back().answered &&
      !owed_.back().orphaned) {
    Exchange& e = owed_.back();
    e.timedOut = false;
    ++e.owed;
    e.deliver = deliver;
    return;
  }
  Exchange e;
  e.sent = command;
  e.key = key;
  e.ending = ending;
  e.fits = fits;
  e.deliver = deliver;
  e.ownerless = !deliver;
  owed_.push_back(std::move(e));
}

bool OwedExchanges::isEcho(const std::string& key) const {
  if (key == lastKey_) return true;
  for (const Exchange& e : owed_)
    if (e.key == key) return true;
  return false;
}

OwedExchanges::Match OwedExchanges::match(const std::string& line, Answer& answer) {
  const std::string key = keyOf(line);
  if (key.empty() || owed_.empty() || isEcho(key)) return Match::Dropped;
  return take(owed_.front(), classOf(key), line, answer);
}

// Which lines a command's answer is made of: anything else is noise and is
// dropped, so it can neither pass for a value nor end the exchange early.
OwedExchanges::Match OwedExchanges::take(Exchange& e, ReplyClass rc, const std::string& line,
                                         Answer& answer) {
  const std::string key = keyOf(line);
  bool ends = rc != rcText;
  if (rc == rcText) {
    if (!printable(key)) return Match::Dropped;
    switch (e.ending) {
      case Ending::Ok:  // a refusal in words ("what?"); the modem's own codes are no answer
        if (unsolicited(key)) return Match::Dropped;
        ends = true;
        break;
      case Ending::Dial:  // out of step with the radios
        ends = true;
        break;
      case Ending::Value:
        if (e.valueSeen || unsolicited(key) || (e.fits && !e.fits(key))) return Match::Dropped;
        e.valueSeen = true;
        break;
      case Ending::Line:
        if (unsolicited(key)) return Match::Dropped;
        ends = true;
        break;
      case Ending::Page:
        if (unsolicited(key)) return Match::Dropped;
        break;
      case Ending::Nothing:
        return Match::Dropped;
    }
  }
  std::string taken = line;
  if (rc == rcOK && e.ending == Ending::Value && !e.valueSeen) {
    if (!e.blankSeen) {
      // "OK" without a value answers nothing asked (a late "OK" of a query
      // given up): the query runs out of tries as a silent one does.
      answerEnded(e);
      return Match::Dropped;
    }
    // A blank line, then "OK": the register holds nothing, and that is its
    // answer; the read goes on.
    rc = rcText;
    taken.clear();
  }
  const bool deliver = e.deliver && !e.answered;
  answer.rc = rc;
  answer.awaited = !(rc == rcText && e.ending == Ending::Ok);
  answer.line = taken;
  answer.command = e.sent;
  answer.final = ends;
  if (ends) answerEnded(e);
  return deliver ? Match::Answer : Match::Dropped;
}

void OwedExchanges::answerEnded(Exchange& e) {
  if (--e.owed <= 0) {
    owed_.pop_front();
    return;
  }
  // The answers of the other asks are still to come: each is dropped.
  e.answered = true;
  e.valueSeen = false;
  e.expiresAt = ticks_ + 2;
}

void OwedExchanges::blankLine() {
  if (owed_.empty()) return;
  Exchange& e = owed_.front();
  if (e.ending == Ending::Value && !e.valueSeen && !e.answered) e.blankSeen = true;
}

void OwedExchanges::tick() {
  ++ticks_;
  for (auto it = owed_.begin(); it != owed_.end();) {
    if (it->answered && it->expiresAt <= ticks_) {
      it = owed_.erase(it);
      continue;
    }
    if (!it->answered) it->timedOut = true;
    ++it;
  }
}

void OwedExchanges::tickDone() {
  for (auto it = owed_.begin(); it != owed_.end();) it = it->timedOut ? owed_.erase(it) : it + 1;
}

bool OwedExchanges::holding() const {
  for (const Exchange& e : owed_)
    if (e.answered && !e.timedOut) return true;
  return false;
}

bool OwedExchanges::settled() const {
  return !holding();
}

bool OwedExchanges::ownerlessOwed() const {
  for (const Exchange& e : owed_)
    if (e.ownerless && !e.timedOut) return true;
  return false;
}

void OwedExchanges::orphan() {
  for (Exchange& e : owed_) {
    e.deliver = false;
    e.orphaned = true;
  }
}

}  // namespace tessel
