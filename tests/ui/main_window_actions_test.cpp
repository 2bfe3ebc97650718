// FrmMain's actions: each "Select" opening a new folder dialog that fills its own box, "Go"
// running the batch on its worker with its captions painted and its messages shown, and closing
// through the about box.
#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/batch_mdl.h"
#include "support/temp_dir_test.h"
#include "ui/frm_about.h"
#include "ui/frm_fd_sel.h"
#include "ui/frm_main.h"
#include "ui/qt_app.h"

namespace terravox {
namespace {

using testing::WriteFile;

struct Message {
  std::string text;
  std::string title;
  bool operator==(const Message&) const = default;
};

// Counts the paints of a label while it shows a progress caption.
class CaptionPaints : public QObject {
 public:
  std::vector<std::string> painted;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      const std::string caption = static_cast<QLabel*>(watched)->text().toStdString();
      if (!caption.empty()) painted.push_back(caption);
    }
    return false;
  }
};

// Acts on the next modal window once its own event loop runs, for code that calls exec().
void OnNextModal(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      act(modal);
    }
  });
  timer->start(0);
}

// Clicks "Go" and waits until the run on its worker has ended.
void ClickGoAndWait(FrmMain& window) {
  QSignalSpy ended(&window, &FrmMain::runFinished);
  QTest::mouseClick(window.Command4, Qt::LeftButton);
  ASSERT_TRUE(ended.count() > 0 || ended.wait(30000));
}

class MainWindowActionsTest : private testing::QtAppReady, public testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    window_.SetMessageSeam([this](const std::string& text, const std::string& title) {
      messages_.push_back({text, title});
    });
    window_.show();
    // Every folder row usable, so every "Select" button can be clicked.
    QTest::mouseClick(window_.Option1, Qt::LeftButton);
    QTest::mouseClick(window_.Check1, Qt::LeftButton);
    QTest::mouseClick(window_.Check2, Qt::LeftButton);
  }

  // Text1, Text4, Text5, Text7, Text6: the boxes of codes 1 to 5.
  std::vector<std::string> FolderTexts() {
    std::vector<std::string> texts;
    for (QLineEdit* box :
         {window_.Text1, window_.Text4, window_.Text5, window_.Text7, window_.Text6}) {
      texts.push_back(box->text().toStdString());
    }
    return texts;
  }

  BatchMdl mdl_;
  FrmMain window_{mdl_};
  std::vector<Message> messages_;
};

TEST_F(MainWindowActionsTest, EachSelectButtonFillsOnlyItsOwnBox) {
  const std::string chosen = MakeDir("chosen");
  std::vector<std::int16_t> codes_seen;
  window_.SetFolderDialogSeam([&](FrmMain& w) {
    codes_seen.push_back(w.folder);
    FrmFdSel dialog(w);
    dialog.show();
    ASSERT_TRUE(dialog.OpenFolder(chosen));
    QTest::mouseClick(dialog.Command1, Qt::LeftButton);
  });
  struct Row {
    const char* name;
    QPushButton* button;
    std::int16_t code;
    int box;  // index into FolderTexts()
  };
  const Row rows[] = {{"GRID", window_.Command1, 1, 0},
                      {"contour", window_.Command2, 2, 1},
                      {"slope", window_.Command3, 3, 2},
                      {"XYZ", window_.Command7, 4, 3},
                      {"ASCII", window_.Command6, 5, 4}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    for (QLineEdit* box :
         {window_.Text1, window_.Text4, window_.Text5, window_.Text7, window_.Text6}) {
      box->setText("old");
    }
    QTest::mouseClick(row.button, Qt::LeftButton);
    EXPECT_EQ(window_.folder, row.code);
    EXPECT_EQ(codes_seen.back(), row.code);
    std::vector<std::string> expected(5, "old");
    expected[row.box] = chosen;
    EXPECT_EQ(FolderTexts(), expected);
  }
}

TEST_F(MainWindowActionsTest, CancelledDialogFillsNothing) {
  window_.SetFolderDialogSeam([&](FrmMain& w) {
    FrmFdSel dialog(w);
    dialog.show();
    ASSERT_TRUE(dialog.OpenFolder(PathIn("")));
    QTest::mouseClick(dialog.Command2, Qt::LeftButton);
  });
  for (QPushButton* button :
       {window_.Command1, window_.Command2, window_.Command3, window_.Command7, window_.Command6}) {
    QTest::mouseClick(button, Qt::LeftButton);
  }
  EXPECT_EQ(FolderTexts(), std::vector<std::string>(5, ""));
}

TEST_F(MainWindowActionsTest, EveryDialogStartsAtTheWorkingFolder) {
  const std::string elsewhere = MakeDir("elsewhere");
  std::vector<std::string> starts;
  window_.SetFolderDialogSeam([&](FrmMain& w) {
    FrmFdSel dialog(w);
    starts.push_back(dialog.Dir1Path());
    ASSERT_TRUE(dialog.OpenFolder(elsewhere));
    QTest::mouseClick(dialog.Command1, Qt::LeftButton);
  });
  QTest::mouseClick(window_.Command1, Qt::LeftButton);
  QTest::mouseClick(window_.Command1, Qt::LeftButton);
  const std::string cwd = QDir::currentPath().toStdString();
  EXPECT_EQ(starts, (std::vector<std::string>{cwd, cwd}));
}

TEST_F(MainWindowActionsTest, GoFinishesARunOverAnEmptyGridFolder) {
  QTest::mouseClick(window_.Option3, Qt::LeftButton);
  QTest::mouseClick(window_.Check1, Qt::LeftButton);  // contours off again
  window_.Text1->setText(QString::fromStdString(MakeDir("grids")));
  window_.Text5->setText(QString::fromStdString(MakeDir("slopes")));
  ClickGoAndWait(window_);
  EXPECT_EQ(
      messages_,
      (std::vector<Message>{{"All files in the folders were finished", "Program is Finished"}}));
  EXPECT_EQ(window_.Label6->text().toStdString(), "");
  EXPECT_EQ(window_.Text5->text().toStdString(), PathIn("slopes"));
}

// A second click on the selected kind keeps its run: the XYZ file becomes a GRID, and a GRID run
// walks the GRIDs.
TEST_F(MainWindowActionsTest, GoAfterASecondClickOnTheKindRunsThatKind) {
  QTest::mouseClick(window_.Check1, Qt::LeftButton);  // slopes only
  WriteFile(MakeDir("xyz") + "/hill.xyz", "0 0 1\r\n5 0 2\r\n0 5 3\r\n5 5 5\r\n");
  window_.Text7->setText(QString::fromStdString(PathIn("xyz")));
  for (QLineEdit* box : {window_.Text6, window_.Text1, window_.Text5}) {
    box->setText(QString::fromStdString(MakeDir(box->objectName().toStdString())));
  }
  for (QRadioButton* kind : {window_.Option1, window_.Option3}) {
    SCOPED_TRACE(kind->text().toStdString());
    QTest::mouseClick(kind, Qt::LeftButton);
    QTest::mouseClick(kind, Qt::LeftButton);
    std::filesystem::remove_all(PathIn("Text5/hill"));
    ClickGoAndWait(window_);
    EXPECT_EQ(messages_.back().title, "Program is Finished");
    EXPECT_TRUE(std::filesystem::exists(PathIn("Text5/hill/hdr.adf")));
  }
}

// The window's report goes into the user's own state folder, made for this user alone, never
// into /tmp, where another user's file would refuse every run.
TEST_F(MainWindowActionsTest, TheReportGoesIntoTheUsersStateFolder) {
  setenv("HOME", PathIn("home").c_str(), 1);  // each test runs in a process of its own
  for (const std::string& state_home : {PathIn("state"), std::string("relative: unset")}) {
    setenv("XDG_STATE_HOME", state_home.c_str(), 1);
    FrmMain window(mdl_);
    window.SetMessageSeam([](const std::string&, const std::string&) {});
    window.Text1->setText(QString::fromStdString(MakeDir("grids")));
    ClickGoAndWait(window);
    const std::string folder = state_home[0] == '/' ? state_home : PathIn("home/.local/state");
    EXPECT_TRUE(std::filesystem::is_regular_file(folder + "/terravox/xyz2ascii.report.jsonl"));
    EXPECT_EQ(std::filesystem::status(folder + "/terravox").permissions(),
              std::filesystem::perms::owner_all);
  }
}

TEST_F(MainWindowActionsTest, GoWithAMissingFolderStopsAfterTheValidationMessage) {
  QTest::mouseClick(window_.Option3, Qt::LeftButton);
  window_.Text1->setText(QString::fromStdString(PathIn("no such folder")));
  ClickGoAndWait(window_);
  EXPECT_EQ(messages_,
            (std::vector<Message>{
                {"The folder of Grid does not exist.", "Please Re-Select Folder"},
                {"There are some errors happened during processing", "Program is Stopped"}}));
  EXPECT_EQ(window_.Label6->text().toStdString(), "");
}

// The window's thread is free during the run: each caption is painted as it comes.
TEST_F(MainWindowActionsTest, GoPaintsEachProgressCaptionDuringTheRun) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  QTest::mouseClick(window_.Option2, Qt::LeftButton);
  QTest::mouseClick(window_.Check1, Qt::LeftButton);
  QTest::mouseClick(window_.Check2, Qt::LeftButton);
  const std::string ascii = MakeDir("ascii");
  WriteFile(ascii + "/hill.asc",
            "ncols 2\r\nnrows 2\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 1\r\n"
            "NODATA_value -9999\r\n1 2\r\n3 4\r\n");
  window_.Text6->setText(QString::fromStdString(ascii));
  window_.Text1->setText(QString::fromStdString(MakeDir("grids")));
  CaptionPaints paints;
  window_.Label6->installEventFilter(&paints);

  ClickGoAndWait(window_);
  window_.Label6->removeEventFilter(&paints);

  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].title, "Program is Finished");
  ASSERT_FALSE(paints.painted.empty());
  EXPECT_EQ(paints.painted.front().rfind("Running : ", 0), 0u) << paints.painted.front();
  EXPECT_EQ(window_.Label6->text().toStdString(), "");
}

TEST_F(MainWindowActionsTest, ExitAndTheCloseBoxBothShowTheAboutBoxFirst) {
  struct Row {
    const char* name;
    std::function<void(FrmMain&)> close;
  };
  const Row rows[] = {
      {"Exit", [](FrmMain& w) { QTest::mouseClick(w.Command5, Qt::LeftButton); }},
      {"close box", [](FrmMain& w) { w.close(); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    BatchMdl mdl;
    FrmMain window(mdl);
    std::vector<bool> shown_while_visible;
    window.SetAboutBoxSeam([&](FrmMain& w) { shown_while_visible.push_back(w.isVisible()); });
    window.show();
    row.close(window);
    EXPECT_EQ(shown_while_visible, std::vector<bool>{true});
    EXPECT_FALSE(window.isVisible());
  }
}

// Without seams: the real dialogs and boxes, each modal, each closed from its own event loop.
TEST_F(MainWindowActionsTest, SelectOpensAModalFolderDialogByDefault) {
  FrmMain window(mdl_);
  window.show();
  bool modal_dialog = false;
  OnNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<FrmFdSel*>(modal);
    modal_dialog = dialog != nullptr;
    if (dialog) QTest::mouseClick(dialog->Command1, Qt::LeftButton);
  });
  QTest::mouseClick(window.Command1, Qt::LeftButton);
  EXPECT_TRUE(modal_dialog);
  EXPECT_EQ(window.Text1->text(), QDir::currentPath());
}

TEST_F(MainWindowActionsTest, ClosingShowsAModalAboutBoxByDefault) {
  FrmMain window(mdl_);
  window.show();
  std::string title;
  bool main_visible = false;
  OnNextModal([&](QWidget* modal) {
    title = modal->windowTitle().toStdString();
    main_visible = window.isVisible();
    if (auto* box = qobject_cast<frmAbout*>(modal)) QTest::mouseClick(box->cmdOK, Qt::LeftButton);
  });
  QTest::mouseClick(window.Command5, Qt::LeftButton);
  EXPECT_EQ(title, "About Terravox");
  EXPECT_TRUE(main_visible);
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowActionsTest, MessageBoxHasNoIconOnlyOkAndTheProgramTitleByDefault) {
  FrmMain window(mdl_);
  struct Shown {
    std::string text, title;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QMessageBox::StandardButtons buttons;
  } shown;
  OnNextModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    shown = {box->text().toStdString(), box->windowTitle().toStdString(), box->icon(),
             box->standardButtons()};
    box->button(QMessageBox::Ok)->click();
  });
  window.MsgBox("Folder missing", "");
  EXPECT_EQ(shown.text, "Folder missing");
  EXPECT_EQ(shown.title, "Terravox");
  EXPECT_EQ(shown.icon, QMessageBox::NoIcon);
  EXPECT_EQ(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

}  // namespace
}  // namespace terravox
