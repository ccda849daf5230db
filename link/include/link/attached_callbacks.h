#pragma once

#include <string>

#include "model/main_window_link.h"

namespace tessel {

// The main window's callbacks as the engine calls them: while none are
// attached every question has its neutral answer and notices go nowhere.
class AttachedCallbacks {
 public:
  void attach(MainWindowCallbacks* callbacks) { callbacks_ = callbacks; }

  bool isLocal(int radio) { return callbacks_ && callbacks_->isLocal(radio); }
  bool isMaster(int radio) { return callbacks_ && callbacks_->isMaster(radio); }
  bool exists(int radio) { return callbacks_ && callbacks_->exists(radio); }
  bool markPolling(int radio) { return callbacks_ && callbacks_->markPolling(radio); }
  bool setRead(int radio, bool read) { return callbacks_ && callbacks_->setRead(radio, read); }
  bool markLocal(int radio) { return callbacks_ && callbacks_->markLocal(radio); }
  void radioRenumbered(int radio, bool monitoring) {
    if (callbacks_) callbacks_->radioRenumbered(radio, monitoring);
  }
  void taskCancelled(int radio) {
    if (callbacks_) callbacks_->taskCancelled(radio);
  }
  void readDone() {
    if (callbacks_) callbacks_->readDone();
  }
  // Around the replies of one radio's read: its writes reach the project
  // file as one.
  void beginReplies() {
    if (callbacks_) callbacks_->beginReplies();
  }
  void endReplies() {
    if (callbacks_) callbacks_->endReplies();
  }
  std::string registerValue(int radio, int param) {
    return callbacks_ ? callbacks_->RegisterValue(radio, param, false) : std::string("No Radio");
  }
  // Parameter -1 is the identification line to the main window; a register
  // outside the map must not pass for one, so it is not handed on.
  void applyRegister(int param, int value, const std::string& text) {
    if (param != -1 && callbacks_) callbacks_->ApplyReply(param, value, text);
  }
  bool storeRegister(int radio, int param, int value, const std::string& text) {
    return param != -1 && callbacks_ && callbacks_->storeRegister(radio, param, value, text);
  }
  void registerRefused(int param) {
    if (callbacks_) callbacks_->registerRefused(param);
  }
  void applyIdentification(int model, const std::string& line) {
    if (callbacks_) callbacks_->ApplyReply(-1, model, line);
  }

 private:
  MainWindowCallbacks* callbacks_ = nullptr;
};

}  // namespace tessel
