#include "ui/qt_seams.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>

namespace tessel {

PromptButton OwnedPrompts::show(PromptIcon icon, const std::string& text, PromptButtons buttons) {
  if (auto* boxes = dynamic_cast<QtPrompts*>(&prompts_))
    return boxes->showOver(owner_, icon, text, buttons);
  return prompts_.show(icon, text, buttons);
}

PromptButton QtPrompts::showOver(QWidget* owner, PromptIcon icon, const std::string& text,
                                 PromptButtons buttons) {
  QMessageBox::Icon qicon = QMessageBox::Information;
  switch (icon) {
    case PromptIcon::Information:
      qicon = QMessageBox::Information;
      break;
    case PromptIcon::Warning:
      qicon = QMessageBox::Warning;
      break;
    case PromptIcon::Error:
      qicon = QMessageBox::Critical;
      break;
    case PromptIcon::Question:
      qicon = QMessageBox::Question;
      break;
  }
  static const std::pair<PromptButton, QMessageBox::StandardButton> kButtons[] = {
      {pbOk, QMessageBox::Ok},        {pbCancel, QMessageBox::Cancel},
      {pbYes, QMessageBox::Yes},      {pbNo, QMessageBox::No},
      {pbAbort, QMessageBox::Abort},  {pbRetry, QMessageBox::Retry},
      {pbIgnore, QMessageBox::Ignore}};
  QMessageBox::StandardButtons qbuttons;
  for (const auto& [b, q] : kButtons)
    if (buttons & b) qbuttons |= q;
  if (!qbuttons) qbuttons = QMessageBox::Ok;
  QMessageBox box(qicon, title_, qt(text), qbuttons, owner);
  box.setAccessibleName(title_);
  const int answer = box.exec();
  for (const auto& [b, q] : kButtons)
    if (answer == q) return b;
  // Closed with Escape: the box's refusal, as the user meant it.
  for (PromptButton b : {pbCancel, pbNo, pbAbort, pbOk})
    if (buttons & b) return b;
  return pbOk;
}

QtSettingsStore::QtSettingsStore(const QString& maker, const QString& product)
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, maker,
                                            product)) {}

QtSettingsStore::~QtSettingsStore() = default;

QString QtSettingsStore::fileName() const {
  return settings_->fileName();
}

bool QtSettingsStore::exists() const {
  return QFileInfo::exists(settings_->fileName()) || !settings_->allKeys().isEmpty();
}

bool QtSettingsStore::readString(const std::string& name, std::string& out) const {
  const QVariant v = settings_->value(qt(name));
  if (!v.isValid()) return false;
  out = latin1(v.toString());
  return true;
}

bool QtSettingsStore::readInteger(const std::string& name, int& out) const {
  const QVariant v = settings_->value(qt(name));
  if (!v.isValid()) return false;
  bool ok = false;
  const int n = v.toString().trimmed().toInt(&ok);
  if (!ok) return false;
  out = n;
  return true;
}

bool QtSettingsStore::writeString(const std::string& name, const std::string& value) {
  settings_->setValue(qt(name), qt(value));
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

bool QtSettingsStore::writeInteger(const std::string& name, int value) {
  settings_->setValue(qt(name), value);
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

QtTickTimer::QtTickTimer() {
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
}

void QtTickTimer::setInterval(int ms) {
  timer_.setInterval(ms > 0 ? ms : 1);
}

void QtTickTimer::start() {
  active_ = true;
  timer_.start();
}

void QtTickTimer::stop() {
  active_ = false;
  timer_.stop();
}

void QtTickTimer::tick() {
  if (!active_) return;
  if (handler_) handler_();
  // The handler may have stopped or restarted the timer itself.
  if (active_ && !timer_.isActive()) timer_.start();
}

QString withoutMnemonic(const QString& caption) {
  QString out;
  for (int i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&')) {
      if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) {
        out += QLatin1Char('&');
        ++i;
      }
      continue;
    }
    out += caption[i];
  }
  return out;
}

}  // namespace tessel
