// FrmFdSel driven as an object: where it starts, which folder "Sure" writes and into which box,
// opening against highlighting, unreadable folders, and the keys and buttons that close it.
#include "ui/frm_fd_sel.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/batch_mdl.h"
#include "support/temp_dir_test.h"
#include "ui/dir_chain.h"
#include "ui/frm_main.h"
#include "ui/qt_app.h"

namespace terravox {
namespace {

struct Message {
  std::string text;
  std::string title;
};

class FolderDialogTest : private testing::QtAppReady, public testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    main_.SetMessageSeam([this](const std::string& text, const std::string& title) {
      messages_.push_back({text, title});
    });
    for (QLineEdit* box : FolderBoxes()) box->setText("old");
  }

  // Text1, Text4, Text5, Text7, Text6: the boxes of codes 1 to 5.
  std::array<QLineEdit*, 5> FolderBoxes() {
    return {main_.Text1, main_.Text4, main_.Text5, main_.Text7, main_.Text6};
  }
  std::vector<std::string> FolderTexts() {
    std::vector<std::string> texts;
    for (QLineEdit* box : FolderBoxes()) texts.push_back(box->text().toStdString());
    return texts;
  }

  static QTreeWidgetItem* Item(FrmFdSel& dialog, const std::string& path) {
    for (QTreeWidgetItemIterator it(dialog.Dir1); *it; ++it) {
      if ((*it)->data(0, Qt::UserRole).toString().toStdString() == path) return *it;
    }
    return nullptr;
  }
  static QPoint Center(FrmFdSel& dialog, QTreeWidgetItem* item) {
    return dialog.Dir1->visualItemRect(item).center();
  }
  // Press, release, double click, release: what a real double click delivers.
  static void DoubleClick(FrmFdSel& dialog, QTreeWidgetItem* item) {
    ASSERT_NE(item, nullptr);
    QWidget* viewport = dialog.Dir1->viewport();
    const QPoint at = Center(dialog, item);  // the item is gone once it has opened
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
  }

  BatchMdl mdl_;
  FrmMain main_{mdl_};
  std::vector<Message> messages_;
};

TEST_F(FolderDialogTest, StartsAtTheWorkingFolderWithFocusOnTheDriveList) {
  FrmFdSel dialog(main_);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  const std::string cwd = QDir::currentPath().toStdString();
  EXPECT_EQ(dialog.Dir1Path(), cwd);
  EXPECT_EQ(QApplication::focusWidget(), dialog.Drive1);
  EXPECT_EQ(dialog.Drive1->currentText().toStdString(), DriveOf(cwd, MountedDrives()));
  EXPECT_EQ(dialog.windowTitle().toStdString(), "Folder Selection");
  EXPECT_EQ(dialog.Command1->text().toStdString(), "Sure");
  EXPECT_EQ(dialog.Command2->text().toStdString(), "Cancel");
}

TEST_F(FolderDialogTest, SureAtOnceWritesTheWorkingFolder) {
  main_.folder = 1;
  FrmFdSel dialog(main_);
  dialog.show();
  QTest::mouseClick(dialog.Command1, Qt::LeftButton);
  EXPECT_EQ(main_.Text1->text(), QDir::currentPath());
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(FolderDialogTest, SureFillsOnlyTheBoxThatFolderNames) {
  const std::string chosen = MakeDir("chosen");
  struct Row {
    std::int16_t folder;
    int box;  // index into FolderBoxes(), -1 for none
  };
  const Row rows[] = {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 4}, {0, -1}, {6, -1}, {-1, -1}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.folder);
    for (QLineEdit* box : FolderBoxes()) box->setText("old");
    main_.folder = row.folder;
    FrmFdSel dialog(main_);
    ASSERT_TRUE(dialog.OpenFolder(chosen));
    QTest::mouseClick(dialog.Command1, Qt::LeftButton);
    std::vector<std::string> expected(5, "old");
    if (row.box >= 0) expected[row.box] = chosen;
    EXPECT_EQ(FolderTexts(), expected);
  }
}

TEST_F(FolderDialogTest, OpensAFolderOnDoubleClickOrEnterButNotOnHighlight) {
  const std::string top = MakeDir("top");
  MakeDir("top/a");
  MakeDir("top/b/c");
  main_.folder = 1;
  FrmFdSel dialog(main_);
  dialog.show();
  ASSERT_TRUE(dialog.OpenFolder(top));

  QTreeWidgetItem* a = Item(dialog, top + "/a");
  ASSERT_NE(a, nullptr);
  QTest::mouseClick(dialog.Dir1->viewport(), Qt::LeftButton, {}, Center(dialog, a));
  EXPECT_EQ(dialog.Dir1->currentItem(), a);
  EXPECT_EQ(dialog.Dir1Path(), top);

  DoubleClick(dialog, Item(dialog, top + "/b"));
  EXPECT_EQ(dialog.Dir1Path(), top + "/b");

  dialog.Dir1->setFocus();
  dialog.Dir1->setCurrentItem(Item(dialog, top + "/b/c"));
  QTest::keyClick(dialog.Dir1, Qt::Key_Return);
  EXPECT_EQ(dialog.Dir1Path(), top + "/b/c");

  // A chain entry opens too, going back up; highlighting another then changes nothing.
  DoubleClick(dialog, Item(dialog, top));
  EXPECT_EQ(dialog.Dir1Path(), top);
  QTest::mouseClick(dialog.Dir1->viewport(), Qt::LeftButton, {},
                    Center(dialog, Item(dialog, top + "/a")));
  QTest::mouseClick(dialog.Command1, Qt::LeftButton);
  EXPECT_EQ(main_.Text1->text().toStdString(), top);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(FolderDialogTest, RootKeepsItsSeparator) {
  main_.folder = 3;
  FrmFdSel dialog(main_);
  ASSERT_TRUE(dialog.OpenFolder("/"));
  QTest::mouseClick(dialog.Command1, Qt::LeftButton);
  EXPECT_EQ(main_.Text5->text().toStdString(), "/");
}

TEST_F(FolderDialogTest, UnreadableFolderIsReportedAndTheListStays) {
  const std::string top = MakeDir("top");
  const std::string gone = MakeDir("top/gone");
  main_.folder = 1;
  FrmFdSel dialog(main_);
  dialog.show();
  ASSERT_TRUE(dialog.OpenFolder(top));
  QTreeWidgetItem* item = Item(dialog, gone);
  ASSERT_NE(item, nullptr);
  std::filesystem::remove(gone);

  DoubleClick(dialog, item);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].text.find(gone), std::string::npos) << messages_[0].text;
  EXPECT_EQ(messages_[0].title, "Terravox");
  EXPECT_EQ(dialog.Dir1Path(), top);
  EXPECT_TRUE(dialog.isVisible());

  QTest::mouseClick(dialog.Command1, Qt::LeftButton);
  EXPECT_EQ(main_.Text1->text().toStdString(), top);
}

TEST_F(FolderDialogTest, CancelAndTheCloseBoxWriteNothing) {
  struct Row {
    const char* name;
    std::function<void(FrmFdSel&)> dismiss;
  };
  const Row rows[] = {
      {"Cancel", [](FrmFdSel& d) { QTest::mouseClick(d.Command2, Qt::LeftButton); }},
      {"close box", [](FrmFdSel& d) { d.close(); }},
  };
  const std::string elsewhere = MakeDir("elsewhere");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    for (std::int16_t code = 1; code <= 5; ++code) {
      main_.folder = code;
      FrmFdSel dialog(main_);
      dialog.show();
      ASSERT_TRUE(dialog.OpenFolder(elsewhere));
      row.dismiss(dialog);
      EXPECT_FALSE(dialog.isVisible());
    }
    EXPECT_EQ(FolderTexts(), std::vector<std::string>(5, "old"));
  }
}

TEST_F(FolderDialogTest, EnterAndEscapePressNeitherButton) {
  main_.folder = 1;
  FrmFdSel dialog(main_);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  for (QWidget* focus : {static_cast<QWidget*>(dialog.Drive1), static_cast<QWidget*>(dialog.Dir1),
                         static_cast<QWidget*>(dialog.Command1)}) {
    SCOPED_TRACE(focus->objectName().toStdString());
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_Return);
    QTest::keyClick(focus, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(main_.Text1->text().toStdString(), "old");
  }
}

TEST_F(FolderDialogTest, TabGoesFromDrivesToFoldersToSureToCancel) {
  FrmFdSel dialog(main_);
  std::vector<QWidget*> order;
  for (QWidget* w = dialog.Drive1; order.size() < 4; w = w->nextInFocusChain()) {
    if (w == dialog.Drive1 || w == dialog.Dir1 || w == dialog.Command1 || w == dialog.Command2) {
      order.push_back(w);
    }
  }
  EXPECT_EQ(order,
            (std::vector<QWidget*>{dialog.Drive1, dialog.Dir1, dialog.Command1, dialog.Command2}));
}

}  // namespace
}  // namespace terravox
