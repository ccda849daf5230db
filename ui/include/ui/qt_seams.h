#pragma once

// The core's seams on Qt: message boxes, the per-user settings key and the
// engine's tick timer.
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "seams/prompts.h"
#include "seams/settings_store.h"
#include "seams/tick_timer.h"

class QSettings;
class QWidget;

namespace tessel {

// Modal QMessageBox titled with the product name.
class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QString title) : title_(std::move(title)) {}
  PromptButton show(PromptIcon icon, const std::string& text, PromptButtons buttons) override {
    return showOver(parent_, icon, text, buttons);
  }
  // A box over owner rather than over the main window.
  PromptButton showOver(QWidget* owner, PromptIcon icon, const std::string& text,
                        PromptButtons buttons);
  // The window the boxes are centred on.
  void setParent(QWidget* parent) { parent_ = parent; }

 private:
  QString title_;
  QWidget* parent_ = nullptr;
};

// The message boxes a dialog raises open over that dialog, so a dialog that
// stays on top cannot hide them. Boxes other than QtPrompts' pass through.
class OwnedPrompts : public Prompts {
 public:
  OwnedPrompts(Prompts& prompts, QWidget* owner) : prompts_(prompts), owner_(owner) {}
  PromptButton show(PromptIcon icon, const std::string& text, PromptButtons buttons) override;

 private:
  Prompts& prompts_;
  QWidget* owner_;
};

// QSettings(maker, product) in the native format: on Linux
// ~/.config/<maker>/<product>.conf. Every write is flushed at once, so a
// crash loses nothing and the headless front end reads the same values.
class QtSettingsStore : public SettingsStore {
 public:
  QtSettingsStore(const QString& maker, const QString& product);
  ~QtSettingsStore() override;
  bool exists() const override;
  bool readString(const std::string& name, std::string& out) const override;
  bool readInteger(const std::string& name, int& out) const override;
  bool writeString(const std::string& name, const std::string& value) override;
  bool writeInteger(const std::string& name, int value) override;
  QString fileName() const;

 private:
  std::unique_ptr<QSettings> settings_;
};

// A single-shot QTimer armed again after each tick. A tick that opens a
// modal box runs a nested event loop; a repeating timer would fire into
// the engine again from inside it.
class QtTickTimer : public TickTimer {
 public:
  QtTickTimer();
  void setHandler(std::function<void()> handler) override { handler_ = std::move(handler); }
  void setInterval(int ms) override;
  int interval() const override { return timer_.interval(); }
  void start() override;
  void stop() override;
  bool isActive() const override { return active_; }

 private:
  void tick();
  QTimer timer_;
  std::function<void()> handler_;
  bool active_ = false;
};

// Text of the core (single bytes) for widgets, and back.
inline QString qt(const std::string& s) {
  return QString::fromLatin1(s.data(), static_cast<int>(s.size()));
}
inline std::string latin1(const QString& s) {
  return s.toLatin1().toStdString();
}

// A caption without its "&" marks ("&&" stands for one "&"), as accessible
// names and message texts read it.
QString withoutMnemonic(const QString& caption);

}  // namespace tessel
