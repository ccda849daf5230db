#pragma once

// Online Monitor > "Compare Group with Project...": reads every radio of the
// open project once, as fast as the replies come, and lists what differs
// from the project. Nothing is written until the user picks, for a radio,
// "Take Radio's Values into Project" or "Send Project's Values to Radio".
#include <QDialog>
#include <functional>
#include <memory>

#include "link/link_observer.h"
#include "model/group_compare.h"
#include "model/radio_commands.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace tessel {

class MainWindowModel;

class CompareGroupDialog : public QDialog {
  Q_OBJECT
 public:
  // What the dialog needs of the link engine and of the main window.
  struct Hooks {
    // Attaches the reader of a compare, or (null) the window's own again.
    std::function<void(MainWindowCallbacks*)> attachReader;
    std::function<void(int ms)> setPollInterval;
    // The window's own poll interval again.
    std::function<void()> restorePollInterval;
    // The ordinary Set Radio of the radio now in the panel.
    std::function<void()> send;
  };

  CompareGroupDialog(MainWindowModel& window, const BrandModels& models, Hooks hooks,
                     QWidget* parent = nullptr);
  ~CompareGroupDialog() override;

  // Starts reading the group; false (with the reason shown) when it has no
  // radios.
  bool start();
  // Reading the group, or one radio again after a send to it.
  bool running() const { return running_; }
  // The radio whose rows are stale (a send to it ran since it was read)
  // until it is read again; -1 for none.
  int staleRadio() const { return stale_; }
  // Stops a running read; what was read so far is listed.
  void cancel();

  QTableWidget* table() const { return table_; }
  QLabel* progressLabel() const { return progress_; }
  // The radio of the table's current row; -1 for none.
  int selectedRadio() const;
  bool saveCsv(const QString& path);
  // The per-radio choices, for the selected radio.
  bool takeRadioValues();
  bool sendProjectValues();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  struct Progress;
  // The run being read now: the group's, or the stale radio's alone.
  GroupCompareRun& reading() { return again_ ? *again_ : *run_; }
  // Starts the engine on the run being read, the dialog listening.
  CommandStart beginRead();
  void update();
  void finish(bool cancelled);
  // The stale radio read again, once the send to it ended.
  void readAgain(TaskEnd sent);
  void rereadDone(bool cancelled);
  void fillTable();
  QString countsText() const;
  void selectionChanged();
  void setCaption(QPushButton* button, const QString& caption);

  MainWindowModel& window_;
  const BrandModels& models_;
  Hooks hooks_;
  std::unique_ptr<GroupCompareRun> run_;
  std::unique_ptr<GroupCompareRun> again_;
  std::unique_ptr<CommandListener> observer_;
  bool running_ = false;
  bool sending_ = false;  // the project's values go to the stale radio
  int stale_ = -1;
  QLabel* progress_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QLabel* summary_ = nullptr;
  QTableWidget* table_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* take_ = nullptr;
  QPushButton* sendButton_ = nullptr;
};

}  // namespace tessel
