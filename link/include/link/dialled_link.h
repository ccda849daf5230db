#pragma once

#include <functional>
#include <optional>
#include <string>

#include "link/port_state.h"

namespace tessel {

// Where the link between the local radio and the others stands.
enum class LinkOn : uint8_t {
  Local,    // commands reach the local radio
  Remote,   // commands reach the radio this program dialled
  Unknown,  // a dial or a hang-up went out and is not answered (or never was)
};

// Which radio the engine's commands reach, as the lines written and their
// answers tell: the one home of that knowledge. A line meant for a radio
// (a value asked or set, a save, a reset, a page) may go out only while
// mayAddress() holds; "NO CARRIER" puts the link back on the local radio and
// nothing more goes to the radio it reached without a new dial. Lines go
// out through the senders given: close for the lines that end a task, whose
// answers no one takes (send when none is given).
class DialledLink {
 public:
  using Sender = std::function<void(const std::string& line)>;

  // A dial of a radio, or a bare "ATD".
  static bool dialLine(const std::string& line);
  // A line for the link rather than for a radio: a dial, a hang-up, the
  // connect's "AT" and "+++".
  static bool linkLine(const std::string& line);

  explicit DialledLink(Sender send, Sender close = {})
      : send_(std::move(send)), close_(close ? std::move(close) : send_) {}

  // A line was handed over to go out: a hang-up is on its way from here,
  // so a task ending right after it sends none of its own.
  void submitted(const std::string& line);
  // A line went out to the radio. A dial ("ATD" + radio) or a hang-up
  // ("ATH", a bare "ATD", a dial of the local radio) leaves the link not
  // known until its answer; a reset ("AT&R") ends any link.
  void written(const std::string& line);
  // The answer that ended the exchange of command (its "OK", "ERROR" or
  // text, delivered to a task or not).
  void answered(const std::string& command, ReplyClass rc);
  // "NO CARRIER": the local radio hung up and is in its own command mode.
  // Gives the radio whose link was lost (the one dialled, or the one a dial
  // in progress was reaching); -1 when there was no link to lose.
  int carrierLost();
  // The port went away and the link with it; the radio on the port is no
  // longer known.
  void lost();

  LinkOn on() const { return on_; }
  // The radio the link is on (Remote), or the one a dial is reaching; -1.
  int radio() const { return radio_; }
  // A link may be up and no hang-up is on its way.
  bool dialled() const;
  // A line for a radio may go out: the link is where the last link command
  // put it, and was not lost since.
  bool mayAddress() const { return on_ != LinkOn::Unknown && !lostRadio_; }
  // The task that lost its radio is over (or a new one began): what comes
  // next starts from the local radio or with a dial of its own.
  void taskOver() { lostRadio_ = false; }

  // The local radio is known to be out of command mode: its hang-up
  // ("ATH") was answered, or it was reset. Only the escape ("+++") reaches
  // it then; any other answer of its puts it back in command mode.
  bool localOnLine() const { return onLine_; }

  // The local radio told its radio ID (page 1 of its identification, read
  // with the link on it); -1 until then.
  void setLocalRadio(int id) { localID_ = id; }
  int localRadio() const { return localID_; }

  // Ends a link that may be up. Dialling the local radio brings the link
  // back to it and keeps it in command mode, so the next connect is
  // answered at once; while the local radio's ID is not known the link is
  // hung up ("ATH").
  void hangUp(bool portOpen);

  // A line that ends a task: its answer may come after the next task began.
  void sendClosing(const std::string& line) { close_(line); }

  // The connect clears a link an earlier run may have left up (a program
  // killed while dialled cannot hang up), or goes straight on. A send, a
  // search and a monitor going back to its rounds clear it only when the
  // link is not known to be on the local radio. Once cleared it is.
  void releaseOnConnect() { release_ = Release::Pending; }
  void releaseUnlessLocal() { release_ = Release::UnlessLocal; }
  void noRelease() { release_ = Release::Done; }
  // One step of that clearing on the radio's answer; true while the step
  // took the reply.
  bool releaseStep(ReplyClass rc);

 private:
  // After the radio first answers, "ATH" drops any link, "+++" takes the
  // local radio back to command mode, and only then does the task go on.
  enum class Release { Done, Pending, UnlessLocal, HangingUp, Escaping };
  // A link command written and waiting for its answer.
  struct Pending {
    std::string key;  // the command, upper case, without line ends
    LinkOn target;    // where an "OK" puts the link
    int radio;        // the radio it dials; -1
    LinkOn before;    // where the link was before it
    int radioBefore;
  };

  bool hangUpLine(const std::string& key) const;
  void begin(const std::string& key, LinkOn target, int radio);

  Sender send_;
  Sender close_;
  LinkOn on_ = LinkOn::Local;
  int radio_ = -1;
  std::optional<Pending> pending_;
  bool hangUpSubmitted_ = false;
  // The radio the last "NO CARRIER" cut off was being talked to: no line
  // for a radio goes out until a new dial or the task's end.
  bool lostRadio_ = false;
  int localID_ = -1;
  bool onLine_ = false;
  Release release_ = Release::Done;
};

}  // namespace tessel
