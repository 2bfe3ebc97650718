// frmAbout: what it shows at load, how it closes, and how "SysInfo" finds and starts the system
// information tool through the registry, the file test and the process starter.
#include "ui/frm_about.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/paths.h"
#include "support/in_memory_registry.h"
#include "ui/qt_app.h"
#include "ui/registry.h"

namespace terravox {
namespace {

constexpr const char* kInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

struct Message {
  std::string text;
  std::string title;
  bool operator==(const Message&) const = default;
};

class AboutBoxTest : public testing::QtTest {
 protected:
  void SetUp() override {
    box_.SetRegistry(&registry_);
    box_.SetMessageSeam([this](const std::string& text, const std::string& title) {
      messages_.push_back({text, title});
    });
    box_.SetProcessStarter([this](const std::string& program) {
      started_.push_back(program);
      return !program.empty();
    });
    box_.SetFileExists([this](const std::string& path) {
      checked_files_.push_back(path);
      return path == existing_file_;
    });
  }

  void ClickSysInfo() { QTest::mouseClick(box_.cmdSysInfo, Qt::LeftButton); }

  InMemoryRegistry registry_;
  frmAbout box_;
  std::vector<Message> messages_;
  std::vector<std::string> started_;
  std::vector<std::string> checked_files_;
  std::string existing_file_;
};

const Message kNoInfo{"Can not get any info.", "Terravox"};

TEST_F(AboutBoxTest, LoadFillsCaptionTitleAndVersion) {
  EXPECT_EQ(box_.windowTitle().toStdString(), "About Terravox");
  EXPECT_EQ(box_.lblTitle->text().toStdString(), "Terravox");
  EXPECT_EQ(box_.lblVersion->text().toStdString(), "version 2.1.0");
}

TEST(VersionTextTest, JoinsPlainDecimalNumbers) {
  EXPECT_EQ(VersionText(2, 1, 0), "version 2.1.0");
  EXPECT_EQ(VersionText(10, 0, 12), "version 10.0.12");
}

// A label too small for its text clips it silently: every line of the description, the date and
// the caution must fit the label that shows it.
TEST_F(AboutBoxTest, EveryTextFitsItsLabel) {
  box_.show();
  for (QLabel* label :
       {box_.lblDescription, box_.Label1, box_.lblDisclaimer, box_.lblTitle, box_.lblVersion}) {
    SCOPED_TRACE(label->objectName().toStdString());
    ASSERT_FALSE(label->text().isEmpty());
    const QRect room = label->contentsRect();
    const int flags = static_cast<int>(label->alignment()) |
                      (label->wordWrap() ? static_cast<int>(Qt::TextWordWrap) : 0);
    const QRect needed = label->fontMetrics().boundingRect(room, flags, label->text());
    EXPECT_LE(needed.height(), room.height());
    if (!label->wordWrap()) {
      EXPECT_LE(needed.width(), room.width());
    }
  }
}

TEST_F(AboutBoxTest, OpensWithFocusOnSureAsTheDefaultButton) {
  box_.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&box_));
  EXPECT_EQ(QApplication::focusWidget(), box_.cmdOK);
  EXPECT_TRUE(box_.cmdOK->isDefault());
  box_.hide();
}

TEST_F(AboutBoxTest, SureEnterAndEscapeEachCloseTheBox) {
  struct Row {
    const char* name;
    std::function<void(frmAbout&)> press;
  };
  const Row rows[] = {
      {"sure", [](frmAbout& box) { QTest::mouseClick(box.cmdOK, Qt::LeftButton); }},
      {"Enter", [](frmAbout& box) { QTest::keyClick(&box, Qt::Key_Return); }},
      {"Escape", [](frmAbout& box) { QTest::keyClick(&box, Qt::Key_Escape); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    frmAbout box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
    row.press(box);
    EXPECT_FALSE(box.isVisible());
  }
}

TEST_F(AboutBoxTest, FirstKeyStartsItsPathUntested) {
  registry_.SetString(kHkeyLocalMachine, kInfoKey, "PATH", "C:\\Tools\\msinfo32.exe");
  registry_.SetString(kHkeyLocalMachine, kLocationKey, "MSINFO", "C:\\Other");
  existing_file_ = JoinPath("C:\\Other", "MSINFO32.EXE");
  ClickSysInfo();
  EXPECT_EQ(started_, std::vector<std::string>{"C:\\Tools\\msinfo32.exe"});
  EXPECT_TRUE(checked_files_.empty());
  EXPECT_TRUE(messages_.empty());
}

TEST_F(AboutBoxTest, SecondKeyStartsTheToolOnlyWhenItsFileExists) {
  struct Row {
    const char* name;
    bool file_present;
  };
  for (const Row& row : {Row{"file present", true}, Row{"file absent", false}}) {
    SCOPED_TRACE(row.name);
    started_.clear();
    messages_.clear();
    registry_.SetString(kHkeyLocalMachine, kLocationKey, "MSINFO", "C:\\Info\\");
    // The name is appended as it is, even after a trailing separator.
    const std::string tool = std::string("C:\\Info\\") + kPathSeparator + "MSINFO32.EXE";
    existing_file_ = row.file_present ? tool : "";
    ClickSysInfo();
    EXPECT_EQ(checked_files_.back(), tool);
    if (row.file_present) {
      EXPECT_EQ(started_, std::vector<std::string>{tool});
      EXPECT_TRUE(messages_.empty());
    } else {
      EXPECT_TRUE(started_.empty());
      EXPECT_EQ(messages_, std::vector<Message>{kNoInfo});
    }
  }
}

TEST_F(AboutBoxTest, NeitherKeyShowsTheMessageOncePerClick) {
  box_.show();
  ClickSysInfo();
  ClickSysInfo();
  EXPECT_EQ(messages_, (std::vector<Message>{kNoInfo, kNoInfo}));
  EXPECT_TRUE(started_.empty());
  EXPECT_TRUE(box_.isVisible());
  box_.hide();
}

TEST_F(AboutBoxTest, FailedStartShowsTheMessage) {
  registry_.SetString(kHkeyLocalMachine, kInfoKey, "PATH", "C:\\gone.exe");
  box_.SetProcessStarter([](const std::string&) { return false; });
  ClickSysInfo();
  EXPECT_EQ(messages_, std::vector<Message>{kNoInfo});
}

// An expandable text counts as read but leaves the path empty; the real starter refuses it.
TEST_F(AboutBoxTest, ExpandableTextGivesAnEmptyPathThatFailsToStart) {
  registry_.SetString(kHkeyLocalMachine, kInfoKey, "PATH", "%SystemRoot%\\msinfo32.exe",
                      kRegExpandSz);
  frmAbout box;
  box.SetRegistry(&registry_);
  box.SetMessageSeam([this](const std::string& text, const std::string& title) {
    messages_.push_back({text, title});
  });
  QTest::mouseClick(box.cmdSysInfo, Qt::LeftButton);
  EXPECT_EQ(messages_, std::vector<Message>{kNoInfo});
}

// An empty value is an error, not a miss: it ends in the message without trying the second key.
TEST_F(AboutBoxTest, EmptyFirstValueEndsInTheMessage) {
  registry_.SetValue(kHkeyLocalMachine, kInfoKey, "PATH", {kRegSz, {}});
  registry_.SetString(kHkeyLocalMachine, kLocationKey, "MSINFO", "C:\\Info");
  existing_file_ = JoinPath("C:\\Info", "MSINFO32.EXE");
  ClickSysInfo();
  EXPECT_TRUE(started_.empty());
  EXPECT_EQ(messages_, std::vector<Message>{kNoInfo});
  EXPECT_EQ(registry_.open_key_count(), 0);
}

TEST_F(AboutBoxTest, WithoutARegistryTheButtonReportsAtOnce) {
  frmAbout box;
  box.SetMessageSeam([this](const std::string& text, const std::string& title) {
    messages_.push_back({text, title});
  });
  QTest::mouseClick(box.cmdSysInfo, Qt::LeftButton);
  EXPECT_EQ(messages_, std::vector<Message>{kNoInfo});
}

TEST_F(AboutBoxTest, OpensAtItsFixedPlaceAndSize) {
  const int dpi_x = box_.logicalDpiX();
  const int dpi_y = box_.logicalDpiY();
  const QPoint origin = box_.screen()->geometry().topLeft();
  EXPECT_EQ(box_.geometry().topLeft(),
            origin + QPoint(qRound(2340 * dpi_x / 1440.0), qRound(1935 * dpi_y / 1440.0)));
  EXPECT_EQ(box_.size(), QSize(qRound(5730 * dpi_x / 1440.0), qRound(3555 * dpi_y / 1440.0)));
  EXPECT_EQ(box_.minimumSize(), box_.maximumSize());
}

}  // namespace
}  // namespace terravox
