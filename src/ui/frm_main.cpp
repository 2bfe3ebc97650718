// FrmMain: the controls at their places, the tab order, and the handlers of the main window.
#include "ui/frm_main.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyleOptionComplex>
#include <QThread>
#include <QToolTip>

#include "batch/batch_run.h"
#include "core/step_progress.h"
#include "ui/frm_about.h"
#include "ui/frm_fd_sel.h"
#include "ui/main_window_host.h"
#include "ui/pictures.h"
#include "ui/worker_host.h"

namespace terravox {
namespace {

struct Twips {
  int left, top, width, height;
};

template <typename Control>
Control* Make(QWidget* container, const char* name, const QString& caption, Twips place) {
  auto* control = new Control(caption, container);
  control->setObjectName(name);
  control->setGeometry(TwipsRect(container, place.left, place.top, place.width, place.height));
  return control;
}

QLabel* MakeLabel(QWidget* container, const char* name, const QString& caption, Twips place) {
  QLabel* label = Make<QLabel>(container, name, caption, place);
  // Captions are shown as typed: a file name with "<" in it is not markup.
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QLabel* MakeFolderLabel(QWidget* container, const char* name, int index, Twips place) {
  QLabel* label = MakeLabel(container, name, QStringLiteral("Folder "), place);
  label->setProperty("index", index);
  return label;
}

// A frame title drawn on the window's ground: a frame placed high inside another one has its
// title on the outer frame's top line, which would otherwise strike it through.
class OpaqueTitleStyle : public QProxyStyle {
 public:
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override {
    if (control == CC_GroupBox) {
      const QRect title = subControlRect(control, option, SC_GroupBoxLabel, widget);
      painter->fillRect(title.adjusted(-2, 0, 2, 0), option->palette.window());
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
  }
};

// A group of radio buttons is one tab stop, at its selected button; the arrow keys move the
// choice within the group. Qt would stop at the group's first button in the tab chain instead.
QButtonGroup* MakeRadioGroup(QWidget* container, std::initializer_list<QRadioButton*> buttons) {
  auto* group = new QButtonGroup(container);
  for (QRadioButton* button : buttons) {
    group->addButton(button);
    button->setFocusPolicy(button->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
  }
  QObject::connect(group, &QButtonGroup::buttonToggled, [](QAbstractButton* button, bool on) {
    button->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
  });
  return group;
}

PictureBox* MakeArrow(QWidget* container, const char* name, Twips place) {
  auto* picture = new PictureBox(DownArrowPicture(), container);
  picture->setObjectName(name);
  picture->setGeometry(TwipsRect(container, place.left, place.top, place.width, place.height));
  picture->setEnabled(false);
  picture->hide();
  return picture;
}

}  // namespace

FrmMain::FrmMain(BatchMdl& mdl, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      mdl_(mdl),
      host_(std::make_unique<MainWindowHost>(*this)),
      message_([this](const std::string& text, const std::string& title) {
        ShowMessageBox(this, text, title);
      }),
      folder_dialog_([](FrmMain& window) {
        FrmFdSel dialog(window, &window);
        dialog.exec();
      }),
      about_box_([](FrmMain& window) {
        frmAbout box(&window);
        // The box's own default shows its messages centred on itself.
        if (window.message_seam_replaced_) box.SetMessageSeam(window.message_seam());
        box.exec();
      }),
      question_([this](const std::string& text) {
        QMessageBox box(QMessageBox::Question, QString::fromUtf8(kAppTitle),
                        QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, this);
        FitTitle(box);
        question_box_ = &box;
        const bool yes = box.exec() == QMessageBox::Yes;
        question_box_ = nullptr;
        return yes;
      }) {
  mdl_.strSeparator.assign(1, ' ');
  setWindowTitle(QStringLiteral("XYZ to Terravox"));
  setFont(ClassicFont());
  setFixedSize(TwipsX(this, 7305), TwipsY(this, 6030));
  CreateControls();
  SetTabOrder();
  ConnectHandlers();
  Command4->setFocus();
}

void FrmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // "Go" has the focus at start and shows it: a focus given by the keyboard draws its frame.
  if (!event->spontaneous() && !running()) {
    setAttribute(Qt::WA_KeyboardFocusChange);
    Command4->setFocus(Qt::TabFocusReason);
  }
}

FrmMain::~FrmMain() {
  if (run_thread_ == nullptr) return;
  // The window goes while a run is on: stop it, and let its last seam calls reach the window,
  // whose thread they wait for.
  control_.RequestStop();
  while (!run_thread_->wait(10)) QCoreApplication::processEvents();
  qApp->removeEventFilter(this);
  delete run_thread_;
}

void FrmMain::CreateControls() {
  Frame5 = Make<QGroupBox>(this, "Frame5", "Convertion", {120, 120, 6975, 2295});
  Command6 = Make<QPushButton>(Frame5, "Command6", "Select", {6240, 1320, 615, 255});
  Command6->setEnabled(false);
  Text6 = Make<QLineEdit>(Frame5, "Text6", "", {2160, 1305, 3975, 270});
  Text6->setEnabled(false);
  Option2 = Make<QRadioButton>(Frame5, "Option2", "ASCII Raster File", {120, 1260, 1575, 315});
  Option3 = Make<QRadioButton>(Frame5, "Option3", "ESRI GRID", {120, 1920, 1335, 315});
  Option3->setChecked(true);
  Command1 = Make<QPushButton>(Frame5, "Command1", "Select", {6240, 1920, 615, 255});
  Text1 = Make<QLineEdit>(Frame5, "Text1", "", {2160, 1905, 3975, 270});
  Option1 = Make<QRadioButton>(Frame5, "Option1", "XYZ File", {120, 600, 975, 255});

  Frame3 = Make<QGroupBox>(Frame5, "Frame3", "Parameters of XYZ File", {1200, 120, 5655, 1095});
  Frame3->setEnabled(false);
  auto* title_style = new OpaqueTitleStyle;
  title_style->setParent(Frame3);
  Frame3->setStyle(title_style);
  Option5 = Make<QRadioButton>(Frame3, "Option5", "Unknown Cell Size", {1680, 263, 1815, 255});
  Option5->setChecked(true);
  Option4 = Make<QRadioButton>(Frame3, "Option4", "Cell Size", {120, 263, 975, 255});
  // Qt groups auto-exclusive buttons by parent but looks for the checked one among all
  // descendants, so the cell-size buttons inside Frame3 would join the input kinds of Frame5:
  // a click on the selected kind then cleared it. Two explicit groups keep them apart.
  MakeRadioGroup(Frame5, {Option1, Option2, Option3});
  MakeRadioGroup(Frame3, {Option4, Option5});
  Combo1 = new QComboBox(Frame3);
  Combo1->setObjectName("Combo1");
  Combo1->setGeometry(TwipsRect(Frame3, 4440, 240, 1095, 300));
  Combo1->setEditable(true);
  Combo1->addItems({"Space", ",", ";", "TAB"});
  Combo1->setCurrentIndex(0);
  Command7 = Make<QPushButton>(Frame3, "Command7", "Select", {4920, 720, 615, 255});
  Text7 = Make<QLineEdit>(Frame3, "Text7", "", {720, 720, 4095, 270});
  Text8 = Make<QLineEdit>(Frame3, "Text8", "5", {1080, 255, 495, 270});
  Text8->setEnabled(false);
  Label8 = MakeLabel(Frame3, "Label8", "Separator", {3720, 263, 735, 255});
  Label1[0] = MakeFolderLabel(Frame3, "Label1", 0, {120, 720, 495, 255});

  Image1 = MakeArrow(Frame5, "Image1", {150, 840, 135, 405});
  Image2 = MakeArrow(Frame5, "Image2", {150, 1560, 135, 405});
  Label1[1] = MakeFolderLabel(Frame5, "Label1", 1, {1680, 1320, 495, 255});
  Label1[2] = MakeFolderLabel(Frame5, "Label1", 2, {1680, 1920, 495, 255});

  Frame4 = Make<QGroupBox>(this, "Frame4", "Extra Operation", {120, 2520, 6975, 2415});
  Check2 = Make<QCheckBox>(Frame4, "Check2", "Run Slope", {120, 480, 1215, 375});
  Check1 = Make<QCheckBox>(Frame4, "Check1", "Run Contour", {120, 1320, 1335, 375});

  Frame1 = Make<QGroupBox>(Frame4, "Frame1", "Contour (ESRI Shape File) Setting",
                           {1560, 1200, 5295, 1095});
  Frame1->setEnabled(false);
  Text2 = Make<QLineEdit>(Frame1, "Text2", "0", {960, 360, 615, 270});
  Text3 = Make<QLineEdit>(Frame1, "Text3", "5", {2280, 360, 615, 270});
  Text4 = Make<QLineEdit>(Frame1, "Text4", "", {600, 720, 3855, 270});
  Command2 = Make<QPushButton>(Frame1, "Command2", "Select", {4560, 720, 615, 255});
  Label2 = MakeLabel(Frame1, "Label2", "Start Value", {120, 360, 855, 255});
  Label3 = MakeLabel(Frame1, "Label3", "Interval", {1680, 360, 615, 255});
  Label4 = MakeLabel(Frame1, "Label4", "Folder ", {120, 720, 495, 255});

  Frame2 = Make<QGroupBox>(Frame4, "Frame2", "Slope (ESRI GRID) Setting", {1560, 240, 5295, 855});
  Frame2->setEnabled(false);
  Text5 = Make<QLineEdit>(Frame2, "Text5", "", {600, 412, 3855, 270});
  Command3 = Make<QPushButton>(Frame2, "Command3", "Select", {4560, 360, 615, 255});
  Label5 = MakeLabel(Frame2, "Label5", "Folder ", {120, 420, 495, 255});

  Command5 = Make<QPushButton>(this, "Command5", "Exit", {6240, 5040, 855, 375});
  Command4 = Make<QPushButton>(this, "Command4", "Go", {5160, 5040, 855, 375});
  Label6 = MakeLabel(this, "Label6", "", {120, 5520, 7095, 375});

  // Not one of the classic controls: it fills the margin under the status line, as wide as it,
  // only during a run, so no control moves and the idle window looks as it always did.
  StepProgressBar = new QProgressBar(this);
  StepProgressBar->setObjectName("StepProgressBar");
  StepProgressBar->setGeometry(TwipsRect(this, 120, 5910, 7095, 75));
  StepProgressBar->setRange(0, StepProgress::kScale);
  StepProgressBar->setTextVisible(false);
  StepProgressBar->setFocusPolicy(Qt::NoFocus);
  StepProgressBar->hide();
}

void FrmMain::SetTabOrder() {
  // The focus order of the controls that take focus; labels and frames take none.
  QWidget* const order[] = {Command4, Command5, Command3, Text5,    Command2, Text4,
                            Text3,    Text2,    Check1,   Check2,   Text8,    Text7,
                            Command7, Option1,  Text1,    Command1, Option3,  Option2,
                            Text6,    Command6, Combo1,   Option4,  Option5};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void FrmMain::ConnectHandlers() {
  // toggled(true) rather than clicked: arrow keys select a radio button too.
  connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
    if (on) OnOption1Clicked();
  });
  connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
    if (on) OnOption2Clicked();
  });
  connect(Option3, &QRadioButton::toggled, this, [this](bool on) {
    if (on) OnOption3Clicked();
  });
  connect(Option4, &QRadioButton::toggled, this, [this](bool on) {
    if (on) Text8->setEnabled(true);
  });
  connect(Option5, &QRadioButton::toggled, this, [this](bool on) {
    if (on) Text8->setEnabled(false);
  });
  connect(Check1, &QCheckBox::toggled, Frame1, &QWidget::setEnabled);
  connect(Check2, &QCheckBox::toggled, Frame2, &QWidget::setEnabled);

  // Only a choice from the list sets the separator; text typed into the box changes nothing.
  // The box would otherwise take typed text that matches an entry as a choice (on Enter, on
  // leaving the box, or through completion), so those paths are closed.
  Combo1->setInsertPolicy(QComboBox::NoInsert);
  Combo1->setCompleter(nullptr);
  disconnect(Combo1->lineEdit(), &QLineEdit::editingFinished, Combo1, nullptr);
  connect(Combo1, &QComboBox::activated, this, &FrmMain::OnCombo1Chosen);

  connect(Command1, &QPushButton::clicked, this, [this] { OnSelectClicked(1); });
  connect(Command2, &QPushButton::clicked, this, [this] { OnSelectClicked(2); });
  connect(Command3, &QPushButton::clicked, this, [this] { OnSelectClicked(3); });
  connect(Command7, &QPushButton::clicked, this, [this] { OnSelectClicked(4); });
  connect(Command6, &QPushButton::clicked, this, [this] { OnSelectClicked(5); });
  connect(Command4, &QPushButton::clicked, this, &FrmMain::OnGoClicked);
  connect(Command5, &QPushButton::clicked, this, &QWidget::close);
}

void FrmMain::SetInputKindState(bool xyz_parameters, bool ascii_row, bool grid_row) {
  Frame3->setEnabled(xyz_parameters);
  Text6->setEnabled(ascii_row);
  Command6->setEnabled(ascii_row);
  Text1->setEnabled(grid_row);
  Command1->setEnabled(grid_row);
  // The arrows of the conversion chain: XYZ -> ASCII grid, and ASCII grid -> GRID.
  Image2->setVisible(Option1->isChecked() || Option2->isChecked());
  Image1->setVisible(Option1->isChecked());
}

void FrmMain::OnOption1Clicked() {
  const bool xyz = Option1->isChecked();
  SetInputKindState(xyz, xyz, xyz);
}

void FrmMain::OnOption2Clicked() {
  const bool ascii = Option2->isChecked();
  SetInputKindState(Option1->isChecked(), ascii, ascii);
}

void FrmMain::OnOption3Clicked() {
  SetInputKindState(Option1->isChecked(), Option2->isChecked(), Option3->isChecked());
}

void FrmMain::OnCombo1Chosen() {
  mdl_.strSeparator = SeparatorFromChoice(Combo1->currentText().toStdString());
}

void FrmMain::OnSelectClicked(std::int16_t code) {
  folder = code;
  folder_dialog_(*this);
}

void FrmMain::OnGoClicked() {
  // One run at a time: input is swallowed during a run, and a click queued before it started
  // must not start a second one.
  if (run_thread_ != nullptr) return;
  control_.Reset();
  close_after_run_ = false;
  // Changed values only: a sink called per row must not flood the window's event queue.
  control_.SetProgressSink([this, meter = StepProgress(), last = -1](double fraction) mutable {
    const int step = control_.step();
    const int done = meter.Update(step, control_.item(), control_.items(), fraction);
    if (done == last) return;
    last = done;
    QMetaObject::invokeMethod(
        this, [this, step, done] { OnStepProgress(step, done); }, Qt::QueuedConnection);
  });
  RunOptions options = run_options_;
  options.control = &control_;
  worker_host_ = std::make_unique<WorkerHost>(*host_, *this);
  StepProgressBar->setValue(0);
  bar_step_ = progress_step_ = progress_done_ = 0;
  busy_.emplace(*this);
  qApp->installEventFilter(this);
  run_thread_ = QThread::create([this, options] { RunBatch(*worker_host_, mdl_, options); });
  // Emitted on the worker as it ends, so it arrives after every seam call the run made.
  connect(run_thread_, &QThread::finished, this, &FrmMain::OnRunEnded, Qt::QueuedConnection);
  run_thread_->start();
  ShowStepProgress();
}

void FrmMain::OnRunEnded() {
  run_thread_->wait();
  delete run_thread_;
  run_thread_ = nullptr;
  worker_host_.reset();
  qApp->removeEventFilter(this);
  busy_.reset();
  ShowStepProgress();
  StepProgressBar->setValue(0);
  // The stop question is about a run that is over now: it goes, and its answer with it.
  if (asking_) run_ended_while_asking_ = true;
  if (question_box_ != nullptr) question_box_->done(QMessageBox::No);
  emit runFinished();
  if (close_after_run_) close();
}

void FrmMain::OnStepProgress(int step, int done) {
  if (run_thread_ == nullptr) return;
  progress_step_ = step;
  progress_done_ = done;
  // A new step's progress waits for the step's first caption, which comes right after it.
  if (step == bar_step_) StepProgressBar->setValue(done);
}

void FrmMain::ShowStepProgress() {
  // The bar tells how far the captioned step is: no caption, no bar.
  StepProgressBar->setVisible(run_thread_ != nullptr && !status_caption_.empty());
}

void FrmMain::SetStatusCaption(const std::string& caption) {
  status_caption_ = caption;
  const QString full = QString::fromStdString(caption);
  // A long path is shortened in its middle, so that the raster's name at its end stays visible.
  Label6->setText(Label6->fontMetrics().elidedText(full, Qt::ElideMiddle, Label6->width()));
  const QString old_tip = Label6->toolTip();
  const QString tip = Label6->text() == full ? QString() : full;
  Label6->setToolTip(tip);
  // A tooltip on show tells the caption it was shown for: it follows the new one, or goes.
  if (!old_tip.isEmpty() && QToolTip::isVisible() && QToolTip::text() == old_tip) {
    if (tip.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(QCursor::pos(), tip, Label6);
    }
  }
  if (run_thread_ != nullptr && !caption.empty() && bar_step_ != progress_step_) {
    bar_step_ = progress_step_;
    StepProgressBar->setValue(progress_done_);
  }
  ShowStepProgress();
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (run_thread_ == nullptr || !watched->isWidgetType()) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
      // Message boxes of the run are windows of their own and take input as usual; so does
      // "Exit", which asks whether to stop the run.
      return static_cast<QWidget*>(watched)->window() == this && watched != Command5;
    default:
      return false;
  }
}

void FrmMain::MsgBox(const std::string& text, const std::string& title) {
  message_(text, title.empty() ? kAppTitle : title);
}

bool FrmMain::AskToStopRun() {
  asking_ = true;
  run_ended_while_asking_ = false;
  const bool stop = question_("A run is in progress. Stop it?");
  asking_ = false;
  // A run that ended while the question was open is over: no answer stops or closes anything.
  return stop && !run_ended_while_asking_;
}

void FrmMain::closeEvent(QCloseEvent* event) {
  if (run_thread_ != nullptr) {
    // Once a close was agreed to, or while the question is open, asking again changes nothing.
    if (close_after_run_ || asking_) {
      event->ignore();
      return;
    }
    if (AskToStopRun()) {
      // The close waits for the run to end; it goes on from OnRunEnded.
      close_after_run_ = true;
      control_.RequestStop();
    }
    event->ignore();
    return;
  }
  // A second close request while the box is up must not open another one.
  if (!about_shown_) {
    about_shown_ = true;
    about_box_(*this);
  }
  event->accept();
}

}  // namespace terravox
