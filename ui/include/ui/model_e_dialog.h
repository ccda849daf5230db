#pragma once

// The model-E setup dialog. Its controls are the storage of the settings of
// the radio the panel shows: they are attached to the panel, so loading,
// saving and the register routines reach them by name. ModelERules decides
// what the keys, selectors and buttons do.
#include <QDialog>
#include <map>
#include <string>

#include "model/model_e_rules.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLineEdit;
class QPushButton;

namespace tessel {

class ParameterPanel;
struct BrandProfile;

class ModelEDialog : public QDialog {
  Q_OBJECT
 public:
  ModelEDialog(ParameterPanel& panel, MainWindowModel& window, const BrandProfile& profile,
               QWidget* parent = nullptr);

  // Sets the texts, fills an empty current time, centres and shows.
  void open();
  ModelERules& rules() { return rules_; }
  // A control by the name the panel knows it by.
  QWidget* control(const std::string& name) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* addField(const std::string& name, const char* caption, const char* hint,
                      const char* mask, QWidget* parentBox, QFormLayout* form);
  QComboBox* addChoice(const std::string& name, const char* caption, const char* hint,
                       QWidget* parentBox, QFormLayout* form);
  void runPendingExit();

  ParameterPanel& panel_;
  const BrandProfile& profile_;
  ModelERules rules_;
  std::map<std::string, QWidget*> controls_;
  std::map<const QObject*, std::string> names_;
  std::string exitPending_;
  // The field entered last.
  std::string entered_;
  bool typing_ = false;
  // A rule is sending the focus back: the field it leaves is not checked.
  bool refocusing_ = false;
};

}  // namespace tessel
