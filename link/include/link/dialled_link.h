#pragma once

#include <functional>
#include <string>

#include "link/port_state.h"

namespace tessel {

// What the engine knows of the link between the local radio and another
// one: whether this program dialled a radio and has not hung up since, the
// clearing of a link an earlier run left up. Lines go out through the
// senders given: close for the lines that end a task, whose answers no
// one takes (send when none is given).
class DialledLink {
 public:
  using Sender = std::function<void(const std::string& line)>;

  explicit DialledLink(Sender send, Sender close = {})
      : send_(std::move(send)), close_(close ? std::move(close) : send_) {}

  // A line went out to the radio: a dial makes a link; a hang-up, a bare
  // "ATD" (a model 2's way back on line) or a reset ends it.
  void noteSent(const std::string& line);
  bool dialled() const { return dialled_; }
  // The port went away and the link with it.
  void lost() { dialled_ = false; }

  // Ends a link this program dialled. Dialling the local radio brings the
  // link back to it and keeps it in command mode, so the next connect is
  // answered at once; without a known local radio (localRadio() < 0) the
  // link is hung up. localRadio is asked only when a line goes out.
  void hangUp(bool portOpen, const std::function<int()>& localRadio);

  // A line that ends a task: its answer may come after the next task began.
  void sendClosing(const std::string& line) { close_(line); }

  // The connect clears a link an earlier run may have left up (a program
  // killed while dialled cannot hang up), or goes straight on.
  void releaseOnConnect() { release_ = Release::Pending; }
  void noRelease() { release_ = Release::Done; }
  // One step of that clearing on the radio's answer; true while the step
  // took the reply.
  bool releaseStep(ReplyClass rc);

 private:
  // After the radio first answers, "ATH" drops any link, "+++" takes the
  // local radio back to command mode, and only then does the task go on.
  enum class Release { Done, Pending, HangingUp, Escaping };

  Sender send_;
  Sender close_;
  bool dialled_ = false;
  Release release_ = Release::Done;
};

}  // namespace tessel
