// FrmMain: the state at start, the input-kind, cell-size, separator and extra-operation
// handlers, the "Select" buttons with the folder dialog, "Go", and closing through the about box.
#include "ui/frm_main.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "batch/headless_host.h"
#include "core/batch_mdl.h"
#include "ui/pictures.h"
#include "ui/qt_app.h"

namespace terravox {
namespace {

class MainWindowTest : public testing::QtTest {
 protected:
  MainWindowTest() {
    // No handler here may show a message box; one that did would be recorded, not wait.
    window_.SetMessageSeam([](const std::string& text, const std::string&) {
      ADD_FAILURE() << "unexpected message: " << text;
    });
    window_.show();
  }

  void Click(QWidget* control) {
    ASSERT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    QTest::mouseClick(control, Qt::LeftButton);
  }
  // Picks an entry of Combo1's list with the mouse, as a user does.
  void ChooseSeparator(const QString& entry) {
    QComboBox* combo = window_.Combo1;
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    const QModelIndex index = combo->model()->index(combo->findText(entry), 0);
    ASSERT_TRUE(index.isValid());
    view->setCurrentIndex(index);
    QTest::keyClick(view, Qt::Key_Return);
  }

  BatchMdl mdl_{false, "unset"};
  FrmMain window_{mdl_};
};

// The window and the command line must start a run from the same settings: a default that
// differs between them gives a different run for the same untouched controls.
TEST_F(MainWindowTest, StartsWithTheSettingsTheCommandLineAssumes) {
  const Settings defaults;
  const Host& host = window_.host();
  EXPECT_EQ(host.GridFolder(), defaults.grid_folder);
  EXPECT_EQ(host.ContourBase(), defaults.contour_base);
  EXPECT_EQ(host.ContourInterval(), defaults.contour_interval);
  EXPECT_EQ(host.ContourFolder(), defaults.contour_folder);
  EXPECT_EQ(host.SlopeFolder(), defaults.slope_folder);
  EXPECT_EQ(host.AsciiFolder(), defaults.ascii_folder);
  EXPECT_EQ(host.XyzFolder(), defaults.xyz_folder);
  EXPECT_EQ(host.CellSizeText(), defaults.cell_size);
  EXPECT_EQ(host.InputIsXyz(), defaults.input_xyz);
  EXPECT_EQ(host.InputIsAscii(), defaults.input_ascii);
  EXPECT_EQ(host.CellSizeGiven(), defaults.cell_size_given);
  EXPECT_EQ(host.RunContour(), defaults.run_contour);
  EXPECT_EQ(host.RunSlope(), defaults.run_slope);
  EXPECT_EQ(host.StatusText(), "");
  // With "ESRI GRID" input only the GRID folder and the extra operations can be used.
  for (QWidget* unusable :
       {static_cast<QWidget*>(window_.Text6), static_cast<QWidget*>(window_.Text7),
        static_cast<QWidget*>(window_.Text8), static_cast<QWidget*>(window_.Text2),
        static_cast<QWidget*>(window_.Text5)}) {
    EXPECT_FALSE(unusable->isEnabled()) << unusable->objectName().toStdString();
  }
  EXPECT_TRUE(window_.Text1->isEnabled());
  EXPECT_EQ(window_.folder, 0);
}

TEST_F(MainWindowTest, StartsWithHiddenArrowsFolderLabelsAndTheSeparatorList) {
  for (PictureBox* arrow : {window_.Image1, window_.Image2}) {
    EXPECT_TRUE(arrow->isHidden());
    EXPECT_FALSE(arrow->isEnabled());
    EXPECT_EQ(arrow->parentWidget(), window_.Frame5);
    EXPECT_EQ(arrow->picture().size(), QSize(9, 27));
  }
  const QWidget* label_frames[] = {window_.Frame3, window_.Frame5, window_.Frame5};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(window_.Label1[i]->text().toStdString(), "Folder ");
    EXPECT_EQ(window_.Label1[i]->parentWidget(), label_frames[i]);
  }
  QStringList entries;
  for (int i = 0; i < window_.Combo1->count(); ++i) entries << window_.Combo1->itemText(i);
  EXPECT_EQ(entries, QStringList({"Space", ",", ";", "TAB"}));
  EXPECT_TRUE(window_.Combo1->isEditable());
  EXPECT_EQ(mdl_.strSeparator, " ");
}

TEST_F(MainWindowTest, IsAFixedWindowWithOnlyACloseBox) {
  EXPECT_EQ(window_.windowTitle().toStdString(), "XYZ to Terravox");
  const QSize client(qRound(7305 * window_.logicalDpiX() / 1440.0),
                     qRound(6030 * window_.logicalDpiY() / 1440.0));
  EXPECT_EQ(window_.minimumSize(), client);
  EXPECT_EQ(window_.maximumSize(), client);
  const Qt::WindowFlags flags = window_.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

TEST_F(MainWindowTest, OpensWithFocusOnGoAndTabGoesOnToExit) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  EXPECT_EQ(QApplication::focusWidget(), window_.Command4);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), window_.Command5);
}

TEST_F(MainWindowTest, InputKindSetsFramesRowsAndArrows) {
  struct Row {
    const char* name;
    std::vector<QRadioButton*> clicks;
    bool xyz_parameters, ascii_row, grid_row, image1, image2;
  };
  const Row rows[] = {
      {"XYZ", {window_.Option1}, true, true, true, true, true},
      {"ASCII", {window_.Option2}, false, true, true, false, true},
      {"XYZ then ASCII", {window_.Option1, window_.Option2}, false, true, true, false, true},
      {"ASCII then XYZ", {window_.Option2, window_.Option1}, true, true, true, true, true},
      {"XYZ then GRID", {window_.Option1, window_.Option3}, false, false, true, false, false},
      {"ASCII then GRID", {window_.Option2, window_.Option3}, false, false, true, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    BatchMdl mdl;
    FrmMain window(mdl);
    window.show();
    for (QRadioButton* option : row.clicks) {
      QTest::mouseClick(window.findChild<QRadioButton*>(option->objectName()), Qt::LeftButton);
    }
    EXPECT_EQ(window.Frame3->isEnabled(), row.xyz_parameters);
    EXPECT_EQ(window.Text6->isEnabled(), row.ascii_row);
    EXPECT_EQ(window.Command6->isEnabled(), row.ascii_row);
    EXPECT_EQ(window.Text1->isEnabled(), row.grid_row);
    EXPECT_EQ(window.Command1->isEnabled(), row.grid_row);
    EXPECT_EQ(!window.Image1->isHidden(), row.image1);
    EXPECT_EQ(!window.Image2->isHidden(), row.image2);
  }
}

// The input kinds and the cell-size choices are two groups: a click or Space on the selected
// button keeps it selected, and the other group keeps its choice.
TEST_F(MainWindowTest, TheSelectedButtonStaysSelectedOnASecondClickOrSpace) {
  Click(window_.Option1);  // "Cell Size" can be used with "XYZ File" only
  for (QRadioButton* button :
       {window_.Option4, window_.Option1, window_.Option2, window_.Option3}) {
    SCOPED_TRACE(button->text().toStdString());
    Click(button);
    Click(button);
    EXPECT_TRUE(button->isChecked());
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_TRUE(button->isChecked());
    EXPECT_TRUE(window_.Option4->isChecked());
  }
}

// Tab goes by the tab indexes; a radio group is one stop, at its selected button.
TEST_F(MainWindowTest, TabVisitsTheControlsInTheirTabOrder) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  const std::pair<std::vector<QAbstractButton*>, std::string> rows[] = {
      {{}, "Command4 Command5 Check1 Check2 Text1 Command1 Option3"},
      {{window_.Option1, window_.Check1, window_.Check2},
       "Command4 Command5 Command3 Text5 Command2 Text4 Text3 Text2 Check1 Check2 Text7 Command7 "
       "Option1 Text1 Command1 Text6 Command6 Combo1 Option5"},
      {{window_.Option4},
       "Command4 Command5 Command3 Text5 Command2 Text4 Text3 Text2 Check1 "
       "Check2 Text8 Text7 Command7 Option1 Text1 Command1 Text6 Command6 "
       "Combo1 Option4"}};
  for (const auto& [clicks, order] : rows) {  // each row goes on from the one before
    for (QAbstractButton* button : clicks) Click(button);
    window_.Command4->setFocus(Qt::TabFocusReason);
    std::string visited = "Command4";
    for (QTest::keyClick(window_.Command4, Qt::Key_Tab);
         QApplication::focusWidget() != window_.Command4 && visited.size() < order.size();
         QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab)) {
      visited += " " + QApplication::focusWidget()->objectName().toStdString();
    }
    EXPECT_EQ(visited, order);
  }
}

TEST_F(MainWindowTest, TypedFolderTextsSurviveInputKindChanges) {
  Click(window_.Option1);
  QTest::keyClicks(window_.Text7, "/data/xyz");
  QTest::keyClicks(window_.Text6, "/data/asc");
  Click(window_.Option3);
  EXPECT_FALSE(window_.Text6->isEnabled());
  EXPECT_EQ(window_.Text7->text().toStdString(), "/data/xyz");
  EXPECT_EQ(window_.Text6->text().toStdString(), "/data/asc");
}

TEST_F(MainWindowTest, CellSizeBoxKeepsItsOwnStateWhileItsFrameIsDisabled) {
  struct Row {
    const char* name;
    QRadioButton* cell_choice;
    bool usable_after;
  };
  const Row rows[] = {{"Cell Size", window_.Option4, true},
                      {"Unknown Cell Size", window_.Option5, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Click(window_.Option1);
    Click(row.cell_choice);
    EXPECT_EQ(window_.Text8->isEnabled(), row.usable_after);
    Click(window_.Option3);
    EXPECT_FALSE(window_.Text8->isEnabled());
    Click(window_.Option1);
    EXPECT_EQ(window_.Text8->isEnabled(), row.usable_after);
    EXPECT_EQ(window_.Text8->text().toStdString(), "5");
  }
}

TEST_F(MainWindowTest, SeparatorFollowsEachChoiceFromTheList) {
  Click(window_.Option1);
  struct Row {
    const char* entry;
    std::string separator;
  };
  const Row rows[] = {{";", ";"}, {"TAB", "\t"}, {",", ","}, {"Space", " "}, {"TAB", "\t"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.entry);
    ChooseSeparator(row.entry);
    EXPECT_EQ(window_.Combo1->currentText().toStdString(), row.entry);
    EXPECT_EQ(mdl_.strSeparator, row.separator);
  }
}

TEST_F(MainWindowTest, TypedSeparatorTextChangesNothing) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  Click(window_.Option1);
  ChooseSeparator(";");
  struct Row {
    const char* typed;
    bool press_enter;
  };
  // Typed text that matches a list entry is still typed text, not a choice.
  const Row rows[] = {{"|", false}, {"|", true}, {",", true}, {"TAB", false}, {"Space", true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.typed);
    window_.Combo1->setFocus();
    window_.Combo1->lineEdit()->selectAll();
    QTest::keyClicks(window_.Combo1->lineEdit(), row.typed);
    if (row.press_enter) QTest::keyClick(window_.Combo1->lineEdit(), Qt::Key_Return);
    window_.Text7->setFocus();  // leaving the box
    EXPECT_EQ(window_.Combo1->currentText().toStdString(), row.typed);
    EXPECT_EQ(mdl_.strSeparator, ";");
  }
}

TEST_F(MainWindowTest, ExtraOperationFramesFollowTheirCheckBoxesAndKeepTheirValues) {
  struct Row {
    const char* name;
    QCheckBox* check;
    QGroupBox* frame;
    QLineEdit* box;
  };
  const Row rows[] = {{"contour", window_.Check1, window_.Frame1, window_.Text2},
                      {"slope", window_.Check2, window_.Frame2, window_.Text5}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Click(row.check);
    EXPECT_TRUE(row.frame->isEnabled());
    row.box->clear();
    QTest::keyClicks(row.box, "12.5");
    Click(row.check);
    EXPECT_FALSE(row.check->isChecked());
    EXPECT_FALSE(row.frame->isEnabled());
    EXPECT_FALSE(row.box->isEnabled());
    Click(row.check);
    EXPECT_TRUE(row.box->isEnabled());
    EXPECT_EQ(row.box->text().toStdString(), "12.5");
  }
  EXPECT_EQ(window_.Text3->text().toStdString(), "5");
}

}  // namespace
}  // namespace terravox
