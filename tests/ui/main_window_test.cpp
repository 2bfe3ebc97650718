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

#include "core/batch_mdl.h"
#include "ui/pictures.h"
#include "ui/qt_app.h"

namespace terravox {
namespace {

// The caption of any kind of control, or its text for a text box.
std::string Caption(const QWidget* w) {
  if (auto* button = qobject_cast<const QAbstractButton*>(w)) return button->text().toStdString();
  if (auto* frame = qobject_cast<const QGroupBox*>(w)) return frame->title().toStdString();
  if (auto* label = qobject_cast<const QLabel*>(w)) return label->text().toStdString();
  if (auto* box = qobject_cast<const QLineEdit*>(w)) return box->text().toStdString();
  if (auto* combo = qobject_cast<const QComboBox*>(w)) return combo->currentText().toStdString();
  return "?";
}

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

TEST_F(MainWindowTest, StartsWithEveryControlInItsInitialState) {
  struct Row {
    const char* name;
    const char* container;
    std::string caption;
    bool own_enabled;  // the control's own state
    bool usable;       // its state with its frames
  };
  const Row rows[] = {
      {"Frame5", "", "Convertion", true, true},
      {"Command6", "Frame5", "Select", false, false},
      {"Text6", "Frame5", "", false, false},
      {"Option2", "Frame5", "ASCII Raster File", true, true},
      {"Option3", "Frame5", "ESRI GRID", true, true},
      {"Command1", "Frame5", "Select", true, true},
      {"Text1", "Frame5", "", true, true},
      {"Option1", "Frame5", "XYZ File", true, true},
      {"Frame3", "Frame5", "Parameters of XYZ File", false, false},
      {"Option5", "Frame3", "Unknown Cell Size", true, false},
      {"Option4", "Frame3", "Cell Size", true, false},
      {"Combo1", "Frame3", "Space", true, false},
      {"Command7", "Frame3", "Select", true, false},
      {"Text7", "Frame3", "", true, false},
      {"Text8", "Frame3", "5", false, false},
      {"Label8", "Frame3", "Separator", true, false},
      {"Frame4", "", "Extra Operation", true, true},
      {"Check2", "Frame4", "Run Slope", true, true},
      {"Check1", "Frame4", "Run Contour", true, true},
      {"Frame1", "Frame4", "Contour (ESRI Shape File) Setting", false, false},
      {"Text2", "Frame1", "0", true, false},
      {"Text3", "Frame1", "5", true, false},
      {"Text4", "Frame1", "", true, false},
      {"Command2", "Frame1", "Select", true, false},
      {"Label2", "Frame1", "Start Value", true, false},
      {"Label3", "Frame1", "Interval", true, false},
      {"Label4", "Frame1", "Folder ", true, false},
      {"Frame2", "Frame4", "Slope (ESRI GRID) Setting", false, false},
      {"Text5", "Frame2", "", true, false},
      {"Command3", "Frame2", "Select", true, false},
      {"Label5", "Frame2", "Folder ", true, false},
      {"Command5", "", "Exit", true, true},
      {"Command4", "", "Go", true, true},
      {"Label6", "", "", true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto* control = window_.findChild<QWidget*>(row.name);
    ASSERT_NE(control, nullptr);
    const QWidget* parent = control->parentWidget();
    EXPECT_EQ(parent == &window_ ? "" : parent->objectName().toStdString(), row.container);
    EXPECT_EQ(Caption(control), row.caption);
    EXPECT_EQ(!control->testAttribute(Qt::WA_ForceDisabled), row.own_enabled);
    EXPECT_EQ(control->isEnabled(), row.usable);
    EXPECT_TRUE(control->isVisible());
  }
  EXPECT_TRUE(window_.Option3->isChecked());
  EXPECT_FALSE(window_.Option1->isChecked() || window_.Option2->isChecked());
  EXPECT_TRUE(window_.Option5->isChecked());
  EXPECT_FALSE(window_.Option4->isChecked());
  EXPECT_FALSE(window_.Check1->isChecked() || window_.Check2->isChecked());
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

TEST_F(MainWindowTest, OpensWithFocusOnGo) {
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  EXPECT_EQ(QApplication::focusWidget(), window_.Command4);
}

TEST_F(MainWindowTest, TabMovesThroughTheControlsInTheirOrder) {
  const std::vector<std::string> expected = {
      "Command4", "Command5", "Command3", "Text5",    "Command2", "Text4",   "Text3",  "Text2",
      "Check1",   "Check2",   "Text8",    "Text7",    "Command7", "Option1", "Text1",  "Command1",
      "Option3",  "Option2",  "Text6",    "Command6", "Combo1",   "Option4", "Option5"};
  std::vector<std::string> order;
  QWidget* w = window_.Command4;
  do {
    const std::string name = w->objectName().toStdString();
    if ((w->focusPolicy() & Qt::TabFocus) &&
        std::find(expected.begin(), expected.end(), name) != expected.end()) {
      order.push_back(name);
    }
    w = w->nextInFocusChain();
  } while (w != window_.Command4);
  EXPECT_EQ(order, expected);
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
