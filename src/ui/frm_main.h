// FrmMain: the main window. Its controls hold every setting of a batch run; "Go" runs the batch
// on a worker thread while the window keeps painting and ignores input but "Exit"; closing it
// shows the about box first, and during a run asks whether to stop the run.
#pragma once

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/batch_mdl.h"
#include "core/folder_listing.h"
#include "core/host.h"
#include "core/run_control.h"
#include "core/run_options.h"
#include "ui/window_support.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QThread;

namespace terravox {

class PictureBox;

class FrmMain : public QWidget {
  Q_OBJECT

 public:
  // Sets mdl.strSeparator to a single blank, matching what Combo1 shows. mdl must outlive the
  // window.
  explicit FrmMain(BatchMdl& mdl, QWidget* parent = nullptr);
  ~FrmMain() override;

  // The window as the batch steps see it: settings, status line, repaint, File1, message boxes.
  Host& host() { return *host_; }

  // Every message box of the window and of the dialogs it opens goes through this seam.
  void SetMessageSeam(MessageSeam seam) {
    message_ = std::move(seam);
    message_seam_replaced_ = true;
  }
  const MessageSeam& message_seam() const { return message_; }
  void MsgBox(const std::string& text, const std::string& title = kAppTitle);

  // Shows the folder dialog modally and returns once it has closed. By default a new FrmFdSel
  // is built each time.
  void SetFolderDialogSeam(std::function<void(FrmMain&)> seam) { folder_dialog_ = std::move(seam); }
  // Shows the about box modally and returns once it has closed. By default a new frmAbout.
  void SetAboutBoxSeam(std::function<void(FrmMain&)> seam) { about_box_ = std::move(seam); }
  void SetRunOptions(RunOptions options) { run_options_ = std::move(options); }
  // Asks a yes/no question over the window; true for Yes. By default a QMessageBox, which closes
  // itself (as No) when the run it asks about ends first.
  void SetQuestionSeam(std::function<bool(const std::string& text)> seam) {
    question_ = std::move(seam);
  }

  // A run started by "Go" is going on (on its worker thread).
  bool running() const { return run_thread_ != nullptr; }
  // The status line's whole caption; Label6 may show it shortened in the middle.
  const std::string& status_caption() const { return status_caption_; }
  void SetStatusCaption(const std::string& caption);

  // Which text box the folder dialog fills: 0 until a "Select" button is pressed, then the code
  // of the last one (1 Text1, 2 Text4, 3 Text5, 4 Text7, 5 Text6).
  std::int16_t folder = 0;
  // The folder listing the batch steps use; never shown.
  FileList File1;

  // Controls, in the order of their creation.
  QGroupBox* Frame5;
  QPushButton* Command6;
  QLineEdit* Text6;
  QRadioButton* Option2;
  QRadioButton* Option3;
  QPushButton* Command1;
  QLineEdit* Text1;
  QRadioButton* Option1;
  QGroupBox* Frame3;
  QRadioButton* Option5;
  QRadioButton* Option4;
  QComboBox* Combo1;
  QPushButton* Command7;
  QLineEdit* Text7;
  QLineEdit* Text8;
  QLabel* Label8;
  std::array<QLabel*, 3> Label1;
  PictureBox* Image1;
  PictureBox* Image2;
  QGroupBox* Frame4;
  QCheckBox* Check2;
  QCheckBox* Check1;
  QGroupBox* Frame1;
  QLineEdit* Text2;
  QLineEdit* Text3;
  QLineEdit* Text4;
  QPushButton* Command2;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QGroupBox* Frame2;
  QLineEdit* Text5;
  QPushButton* Command3;
  QLabel* Label5;
  QPushButton* Command5;
  QPushButton* Command4;
  QLabel* Label6;
  // How far the step named in the status line is (files done plus the current file's share), in
  // the margin under it; shown while a run's caption is.
  QProgressBar* StepProgressBar;

 signals:
  // A run started by "Go" has ended, after its last message box closed.
  void runFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  // While a run goes on, input to the window's controls is swallowed, as the frozen window of a
  // run on the window's thread ignored it.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void SetTabOrder();
  void ConnectHandlers();

  // Input kind: the seven properties in their fixed order, from the radio buttons as they stand.
  void OnOption1Clicked();
  void OnOption2Clicked();
  void OnOption3Clicked();
  void SetInputKindState(bool xyz_parameters, bool ascii_row, bool grid_row);
  void OnCombo1Chosen();
  void OnSelectClicked(std::int16_t code);
  void OnGoClicked();
  void OnRunEnded();
  void OnStepProgress(int step, int done);
  void ShowStepProgress();
  bool AskToStopRun();

  BatchMdl& mdl_;
  std::unique_ptr<Host> host_;
  RunOptions run_options_ = WindowRunOptions();
  MessageSeam message_;
  std::function<void(FrmMain&)> folder_dialog_;
  std::function<void(FrmMain&)> about_box_;
  std::function<bool(const std::string& text)> question_;
  bool about_shown_ = false;
  bool message_seam_replaced_ = false;
  std::string status_caption_;

  // The run on its worker thread; null when idle.
  std::unique_ptr<Host> worker_host_;
  QThread* run_thread_ = nullptr;
  RunControl control_;
  std::optional<BusyCursor> busy_;
  // The step the bar shows, and the latest progress reported (step and its done part).
  int bar_step_ = 0;
  int progress_step_ = 0;
  int progress_done_ = 0;
  // A close was asked for and agreed to during the run: it goes on once the run has ended.
  bool close_after_run_ = false;
  bool asking_ = false;  // the stop question is open
  bool run_ended_while_asking_ = false;
  QMessageBox* question_box_ = nullptr;  // the default question while it is open
};

}  // namespace terravox
