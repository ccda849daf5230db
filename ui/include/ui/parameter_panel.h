#pragma once

// The parameter panel of the main window: group parameters, radio parameters
// and the row of buttons under them, as real widgets behind the Panel seam.
// It only forwards: keys, pastes, changes, exits and clicks go to the entry
// rules and to MainWindowModel, which decide the values.
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/brand.h"
#include "model/entry_rules.h"
#include "model/panel.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tessel {

class MainWindowModel;

class ParameterPanel : public QWidget, public Panel {
  Q_OBJECT

 public:
  explicit ParameterPanel(const BrandModels& models, QWidget* parent = nullptr);
  ~ParameterPanel() override;

  // The rules the handlers call; none until set (the panel then only keeps
  // its values). A model without a mode switch step gets layOut as its
  // step; the main window sets its own, which calls layOut.
  void setModel(MainWindowModel* model);
  MainWindowModel* model() const { return model_; }
  EntryRules* entryRules() const { return rules_.get(); }

  // Shows exactly the controls of windowMode and of the Basic / Advanced
  // view, and puts the buttons of the mode in the button row.
  void layOut(int windowMode);
  // Whether the Advanced view is in force (the Basic/Advanced button names
  // the view it switches to).
  bool advancedView() const;

  // The widget of a control, nullptr for a name the panel has no widget for.
  QWidget* control(const std::string& name) const;
  // Serves a control that lives in another window (the model-E dialog's,
  // the radio list for its enabled state, the window for its caption)
  // through this panel from now on; the widget takes over the items, value,
  // check mark and enabled state kept so far. Names the panel has a widget
  // for are refused.
  void attachControl(const std::string& name, QWidget* widget);

  // Panel.
  std::string text(const std::string& control) const override;
  void setText(const std::string& control, const std::string& text) override;
  int itemIndex(const std::string& control) const override;
  void setItemIndex(const std::string& control, int index) override;
  std::vector<std::string> items(const std::string& control) const override;
  bool enabled(const std::string& control) const override;
  void setEnabled(const std::string& control, bool on) override;
  bool visible(const std::string& control) const override;
  void setVisible(const std::string& control, bool on) override;
  bool checked(const std::string& control) const override;
  void setChecked(const std::string& control, bool on) override;
  void setBusyCursor(bool busy) override;
  void setFocus(const std::string& control) override;

  using QWidget::setEnabled;
  using QWidget::setFocus;
  using QWidget::setVisible;

 signals:
  // Buttons whose commands live in the main window.
  void setRadioClicked();
  void newRadioClicked();
  void blockedClicked();
  void setupClicked();
  // A control the panel keeps without a widget of its own (the model-E
  // dialog's, the radio list's enabled state, the caption) was written, so
  // the window can bring its own widget up to date.
  void outsideControlChanged(const QString& name);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build(const BrandModels& models);
  void registerControl(const std::string& name, QWidget* widget, const char* caption,
                       const char* hint);
  QLabel* addLabel(const std::string& name, const std::string& labelName, const char* caption,
                   QWidget* buddy);
  QLineEdit* addEdit(const std::string& name, const char* caption, const char* hint);
  QComboBox* addCombo(const std::string& name, const char* caption,
                      const std::vector<std::string>& entries, const char* hint, bool editable);
  QPushButton* addButton(const std::string& name, const char* caption, const char* hint);
  QPushButton* button(const std::string& name) const;
  void edited(const std::string& name, QLineEdit* edit);
  const std::string* nameOf(const QObject* object) const;

  MainWindowModel* model_ = nullptr;
  std::unique_ptr<EntryRules> rules_;
  // Controls without a widget here keep their state in memory.
  MemoryPanel outside_;
  std::map<std::string, QWidget*> widgets_;
  std::map<const QObject*, std::string> names_;
  // The caption of each field and selector, by the control's name.
  std::map<std::string, QLabel*> labels_;
  QGroupBox* groupBox_ = nullptr;
  QGroupBox* radioBox_ = nullptr;
  // A rule is sending the focus back to a field.
  bool refocusing_ = false;
};

}  // namespace tessel
