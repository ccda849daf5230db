#include "link/dialled_link.h"

#include "text_util.h"

namespace tessel {

void DialledLink::noteSent(const std::string& line) {
  std::string command = text::upperCase(line);
  while (!command.empty() && (command.back() == '\r' || command.back() == '\n')) command.pop_back();
  if (command == "ATH" || command == "ATD" || text::contains(command, "AT&R"))
    dialled_ = false;
  else if (command.rfind("ATD", 0) == 0)
    dialled_ = true;
}

void DialledLink::hangUp(bool portOpen, const std::function<int()>& localRadio) {
  if (dialled_ && portOpen) {
    const int local = localRadio();
    sendClosing(local >= 0 ? "ATD" + std::to_string(local) : std::string("ATH"));
  }
  dialled_ = false;
}

// A lone "ATH" before identifying would not do: with no link it takes the
// radio out of command mode, so "+++" always follows it.
bool DialledLink::releaseStep(ReplyClass rc) {
  if (rc != rcOK && rc != rcError) return false;
  switch (release_) {
    case Release::Done:
      return false;
    case Release::Pending:
      release_ = Release::HangingUp;
      send_("ATH");
      return true;
    case Release::HangingUp:
      release_ = Release::Escaping;
      send_("+++");
      return true;
    case Release::Escaping:
      release_ = Release::Done;
      return false;
  }
  return false;
}

}  // namespace tessel
