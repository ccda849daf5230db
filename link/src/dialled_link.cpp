#include "link/dialled_link.h"

#include "text_util.h"

namespace tessel {

namespace {

// A command as the radio takes it: upper case, without blanks and line ends.
std::string keyOf(const std::string& line) {
  std::string key;
  for (char c : text::upperCase(line))
    if (c != '\r' && c != '\n' && c != ' ') key += c;
  return key;
}

// "ATD" and a radio ID: the radio dialled; -1 for anything else.
int dialledRadio(const std::string& key) {
  if (key.size() < 4 || key.size() > 6 || key.compare(0, 3, "ATD") != 0) return -1;
  const std::string digits = key.substr(3);
  return text::allDigits(digits) ? std::stoi(digits) : -1;
}

}  // namespace

bool DialledLink::dialLine(const std::string& line) {
  const std::string key = keyOf(line);
  return key == "ATD" || dialledRadio(key) >= 0;
}

bool DialledLink::linkLine(const std::string& line) {
  const std::string key = keyOf(line);
  return key.empty() || key == "AT" || key == "+++" || key == "ATH" || dialLine(line);
}

bool DialledLink::hangUpLine(const std::string& key) const {
  return key == "ATH" || key == "ATD" || (localID_ >= 0 && dialledRadio(key) == localID_);
}

void DialledLink::begin(const std::string& key, LinkOn target, int radio) {
  pending_ = Pending{key, target, radio, on_, radio_};
  on_ = LinkOn::Unknown;
  radio_ = target == LinkOn::Remote ? radio : -1;
  hangUpSubmitted_ = false;
  // A new dial or a hang-up: the task takes the link somewhere of its own.
  lostRadio_ = false;
}

void DialledLink::submitted(const std::string& line) {
  if (hangUpLine(keyOf(line))) hangUpSubmitted_ = true;
}

void DialledLink::written(const std::string& line) {
  const std::string key = keyOf(line);
  if (key.find("AT&R") != std::string::npos) {
    // The radio restarts: a remote one drops the link, the local one comes
    // up on its own, out of command mode.
    if (on_ == LinkOn::Local) onLine_ = true;
    on_ = LinkOn::Local;
    radio_ = -1;
    pending_.reset();
    hangUpSubmitted_ = false;
    return;
  }
  if (hangUpLine(key)) {
    begin(key, LinkOn::Local, -1);
    return;
  }
  const int radio = dialledRadio(key);
  if (radio >= 0) begin(key, LinkOn::Remote, radio);
}

void DialledLink::answered(const std::string& command, ReplyClass rc) {
  // An answer comes from a radio in command mode; a hang-up answered "OK"
  // has taken the local radio out of it.
  onLine_ = rc == rcOK && keyOf(command) == "ATH";
  if (!pending_ || keyOf(command) != pending_->key) return;
  const Pending p = *pending_;
  pending_.reset();
  if (rc == rcOK || (rc == rcError && p.target == LinkOn::Local)) {
    // A hang-up refused had no link to drop.
    on_ = p.target;
    radio_ = p.target == LinkOn::Remote ? p.radio : -1;
  } else if (rc == rcError && p.before == LinkOn::Local) {
    // A dial the local radio refused: it never left it.
    on_ = LinkOn::Local;
    radio_ = -1;
  } else {
    on_ = LinkOn::Unknown;
    radio_ = -1;
  }
}

int DialledLink::carrierLost() {
  int radio = -1;
  if (on_ == LinkOn::Remote)
    radio = radio_;
  else if (on_ == LinkOn::Unknown && pending_ && pending_->target == LinkOn::Remote)
    radio = pending_->radio;
  on_ = LinkOn::Local;
  radio_ = -1;
  pending_.reset();
  hangUpSubmitted_ = false;
  onLine_ = false;  // back in its own command mode
  if (radio >= 0) lostRadio_ = true;
  return radio;
}

void DialledLink::lost() {
  on_ = LinkOn::Local;
  radio_ = -1;
  pending_.reset();
  hangUpSubmitted_ = false;
  lostRadio_ = false;
  localID_ = -1;
  onLine_ = false;
}

bool DialledLink::dialled() const {
  if (hangUpSubmitted_ || (pending_ && pending_->target == LinkOn::Local)) return false;
  return on_ != LinkOn::Local;
}

void DialledLink::hangUp(bool portOpen) {
  if (!dialled() || !portOpen) return;
  sendClosing(localID_ >= 0 ? "ATD" + std::to_string(localID_) : std::string("ATH"));
}

// A lone "ATH" before identifying would not do: with no link it takes the
// radio out of command mode, so "+++" always follows it.
bool DialledLink::releaseStep(ReplyClass rc) {
  if (rc != rcOK && rc != rcError) return false;
  switch (release_) {
    case Release::Done:
      return false;
    case Release::UnlessLocal:
      if (on_ == LinkOn::Local) {
        release_ = Release::Done;
        return false;
      }
      [[fallthrough]];
    case Release::Pending:
      release_ = Release::HangingUp;
      send_("ATH");
      return true;
    case Release::HangingUp:
      release_ = Release::Escaping;
      send_("+++");
      return true;
    case Release::Escaping:
      // Whatever the hang-up's answer was, the link is the local radio's now.
      release_ = Release::Done;
      on_ = LinkOn::Local;
      radio_ = -1;
      pending_.reset();
      return false;
  }
  return false;
}

}  // namespace tessel
