// A run started by "Go" on its worker thread: the window's thread stays free (timers fire, the
// window paints), its controls ignore input, a close request asks whether to stop the run, and
// the outputs are byte for byte those of the same run made without a worker.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/headless_host.h"
#include "core/batch_mdl.h"
#include "support/temp_dir_test.h"
#include "ui/frm_main.h"
#include "ui/qt_app.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::WriteFile;

// An n by n lattice, spacing 5, on a tilted plane with ripples.
std::string Lattice(int n, int offset) {
  std::string text;
  text.reserve(static_cast<size_t>(n) * n * 22);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      text += std::to_string(x * 5) + " " + std::to_string(y * 5) + " " +
              std::to_string(offset + x / 3 + y / 2 + (x * y) % 11) + "\r\n";
    }
  }
  return text;
}

// Every file under folder by relative path, with its bytes. A Shapefile's .dbf holds the day it
// was written in bytes 1 to 3: those are blanked, so runs on either side of midnight compare.
std::map<std::string, std::string> Contents(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      std::string bytes = ReadFile(entry.path().string());
      if (entry.path().extension() == ".dbf" && bytes.size() > 4) bytes.replace(1, 3, "   ");
      files[fs::relative(entry.path(), folder).string()] = std::move(bytes);
    }
  }
  return files;
}

bool HasHiddenEntry(const fs::path& folder) {
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.path().filename().string()[0] == '.') return true;
  }
  return false;
}

// Counts the paints of a widget while a run goes on.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(const FrmMain& window) : window_(window) {}
  int during_run = 0;

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint && window_.running()) ++during_run;
    return false;
  }

 private:
  const FrmMain& window_;
};

struct Message {
  std::string text;
  std::string title;
  bool operator==(const Message&) const = default;
};

class MainWindowRunTest : private testing::QtAppReady, public testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    window_.SetMessageSeam([this](const std::string& text, const std::string& title) {
      messages_.push_back({text, title});
    });
    window_.SetAboutBoxSeam([this](FrmMain&) { ++about_shown_; });
    // One file at a time on one core: the runs here must last long enough to act during them.
    RunOptions options;
    options.jobs = 1;
    window_.SetRunOptions(options);
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }

  void TearDown() override {
    if (window_.running()) {
      window_.SetQuestionSeam([](const std::string&) { return true; });
      window_.close();
      QSignalSpy(&window_, &FrmMain::runFinished).wait(10000);
    }
    TempDirTest::TearDown();
  }

  // XYZ input with slopes over fresh folders under root, one lattice file per size.
  void Prepare(const std::string& root, const std::vector<int>& sizes) {
    QTest::mouseClick(window_.Option1, Qt::LeftButton);
    QTest::mouseClick(window_.Check2, Qt::LeftButton);
    const std::string xyz = MakeDir(root + "/xyz");
    for (size_t i = 0; i < sizes.size(); ++i) {
      WriteFile(xyz + "/" + std::string(1, static_cast<char>('a' + i)) + ".xyz",
                Lattice(sizes[i], static_cast<int>(i)));
    }
    window_.Text7->setText(QString::fromStdString(xyz));
    window_.Text6->setText(QString::fromStdString(MakeDir(root + "/ascii")));
    window_.Text1->setText(QString::fromStdString(MakeDir(root + "/grid")));
    window_.Text5->setText(QString::fromStdString(MakeDir(root + "/slope")));
  }

  // Waits, serving events, until the status line shows a caption with part in it and the file
  // is under way.
  bool WaitForFile(const std::string& part) {
    return QTest::qWaitFor(
        [&] {
          return window_.status_caption().find(part) != std::string::npos &&
                 window_.StepProgressBar->value() > 0;
        },
        30000);
  }

  BatchMdl mdl_;
  FrmMain window_{mdl_};
  std::vector<Message> messages_;
  int about_shown_ = 0;
};

TEST_F(MainWindowRunTest, TheWindowsThreadKeepsServingWhileARunGoesOn) {
  Prepare("window", {1500, 1500, 1500, 1500});
  std::vector<qint64> ticks;
  QElapsedTimer clock;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ticks.push_back(clock.elapsed()); });
  PaintCounter paints(window_);
  window_.Label6->installEventFilter(&paints);
  window_.StepProgressBar->installEventFilter(&paints);
  QSignalSpy ended(&window_, &FrmMain::runFinished);

  clock.start();
  timer.start(20);
  QTest::mouseClick(window_.Command4, Qt::LeftButton);
  ASSERT_TRUE(window_.running());
  // Input during the run is ignored: no setting changes, no second run starts.
  QTest::mouseClick(window_.Option3, Qt::LeftButton);
  QTest::mouseClick(window_.Check1, Qt::LeftButton);
  QTest::mouseClick(window_.Command4, Qt::LeftButton);
  QTest::keyClick(window_.Text1, Qt::Key_X);
  EXPECT_TRUE(window_.Option1->isChecked());
  EXPECT_FALSE(window_.Check1->isChecked());
  EXPECT_FALSE(window_.Text1->text().endsWith('x'));
  EXPECT_EQ(window_.cursor().shape(), Qt::BusyCursor);  // over every control
  EXPECT_EQ(window_.Text1->cursor().shape(), Qt::BusyCursor);
  ASSERT_TRUE(ended.wait(120000));
  const qint64 run_ms = clock.elapsed();
  timer.stop();
  window_.Label6->removeEventFilter(&paints);
  window_.StepProgressBar->removeEventFilter(&paints);

  EXPECT_EQ(ended.count(), 1);
  EXPECT_EQ(
      messages_,
      (std::vector<Message>{{"All files in the folders were finished", "Program is Finished"}}));
  // At least 10 ticks in every whole second of the run (a fast machine may leave none whole).
  for (qint64 from = 0; from + 1000 <= run_ms; from += 250) {
    const auto count = std::count_if(ticks.begin(), ticks.end(),
                                     [&](qint64 t) { return t >= from && t < from + 1000; });
    EXPECT_GE(count, 10) << "second starting at " << from << " ms of " << run_ms;
  }
  EXPECT_GT(paints.during_run, 4);
  EXPECT_FALSE(window_.StepProgressBar->isVisible());
  EXPECT_EQ(window_.Label6->text().toStdString(), "");
  EXPECT_EQ(window_.Text1->cursor().shape(), Qt::IBeamCursor);

  // The same settings run without a worker, as the command line runs them.
  const fs::path root = dir();
  fs::create_directories(root / "direct");
  fs::copy(root / "window/xyz", root / "direct/xyz");
  HeadlessHost direct;
  Settings& v = direct.values;
  v.input_xyz = true;
  v.run_slope = true;
  v.xyz_folder = (root / "direct/xyz").string();
  v.ascii_folder = MakeDir("direct/ascii");
  v.grid_folder = MakeDir("direct/grid");
  v.slope_folder = MakeDir("direct/slope");
  BatchMdl mdl;
  ASSERT_EQ(RunBatch(direct, mdl), RunOutcome::kFinished);
  const auto window_files = Contents(root / "window");
  const auto direct_files = Contents(root / "direct");
  EXPECT_EQ(window_files.size(), direct_files.size());
  EXPECT_TRUE(window_files == direct_files) << "outputs differ";
  EXPECT_GT(window_files.count("slope/d/w001001.adf"), 0u);
}

// "Exit" (true) during a run asks what closing the window (false) asks.
class StopQuestionTest : public MainWindowRunTest, public ::testing::WithParamInterface<bool> {
 protected:
  void RequestClose() {
    if (GetParam()) QTest::mouseClick(window_.Command5, Qt::LeftButton);
    if (!GetParam()) window_.close();
  }
};

INSTANTIATE_TEST_SUITE_P(ByExit, StopQuestionTest, ::testing::Bool(),
                         ::testing::PrintToStringParamName());

TEST_P(StopQuestionTest, AnsweredYesStopsTheRunThenShowsTheAboutBox) {
  Prepare("run", {50, 1500, 50});
  std::vector<std::string> questions;
  window_.SetQuestionSeam([&](const std::string& text) {
    questions.push_back(text);
    return true;
  });
  QSignalSpy ended(&window_, &FrmMain::runFinished);
  QTest::mouseClick(window_.Command4, Qt::LeftButton);
  ASSERT_TRUE(WaitForFile("b.xyz"));

  QElapsedTimer clock;
  clock.start();
  RequestClose();
  EXPECT_TRUE(window_.isVisible());  // the close waits for the run
  RequestClose();                    // asking again asks nothing more
  ASSERT_TRUE(ended.wait(5000));
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_EQ(questions, std::vector<std::string>{"A run is in progress. Stop it?"});
  EXPECT_EQ(messages_, (std::vector<Message>{{"Interrupted", "Program is Stopped"}}));
  EXPECT_TRUE(QTest::qWaitFor([&] { return about_shown_ > 0; }, 1000));
  EXPECT_EQ(about_shown_, 1);
  EXPECT_FALSE(window_.isVisible());
  EXPECT_TRUE(fs::exists(PathIn("run/ascii/a.asc")));
  EXPECT_FALSE(fs::exists(PathIn("run/ascii/b.asc")));
  EXPECT_FALSE(fs::exists(PathIn("run/ascii/c.asc")));
  EXPECT_FALSE(HasHiddenEntry(dir()));
}

TEST_P(StopQuestionTest, AnsweredNoLetsTheRunFinish) {
  Prepare("run", {50, 700});
  int asked = 0;
  window_.SetQuestionSeam([&](const std::string&) {
    ++asked;
    return false;
  });
  QSignalSpy ended(&window_, &FrmMain::runFinished);
  QTest::mouseClick(window_.Command4, Qt::LeftButton);
  ASSERT_TRUE(WaitForFile("b.xyz"));
  RequestClose();
  ASSERT_TRUE(ended.wait(60000));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(
      messages_,
      (std::vector<Message>{{"All files in the folders were finished", "Program is Finished"}}));
  EXPECT_EQ(about_shown_, 0);
  EXPECT_TRUE(window_.isVisible());
  EXPECT_TRUE(fs::exists(PathIn("run/slope/b/hdr.adf")));
}

// The bundled sample tiles through the whole chain: the window's run on its worker writes the
// same bytes as terravox-cli, which runs the batch on its one thread.
TEST_F(MainWindowRunTest, TheSampleTilesGiveTheSameBytesAsTheCommandLine) {
  const fs::path root = dir();
  for (const char* side : {"window", "cli"}) {
    fs::create_directories(root / side / "xyz");
    for (const auto& entry : fs::directory_iterator(fs::path(TERRAVOX_SOURCE_DIR) / "examples")) {
      if (entry.path().extension() == ".xyz") {
        fs::copy_file(entry.path(), root / side / "xyz" / entry.path().filename());
      }
    }
    for (const char* sub : {"ascii", "grid", "contour", "slope"}) {
      fs::create_directories(root / side / sub);
    }
  }
  QTest::mouseClick(window_.Option1, Qt::LeftButton);
  QTest::mouseClick(window_.Check1, Qt::LeftButton);
  QTest::mouseClick(window_.Check2, Qt::LeftButton);
  const auto in = [&](const char* sub) {
    return QString::fromStdString((root / "window" / sub).string());
  };
  window_.Text7->setText(in("xyz"));
  window_.Text6->setText(in("ascii"));
  window_.Text1->setText(in("grid"));
  window_.Text4->setText(in("contour"));
  window_.Text5->setText(in("slope"));
  QSignalSpy ended(&window_, &FrmMain::runFinished);
  QTest::mouseClick(window_.Command4, Qt::LeftButton);
  ASSERT_TRUE(ended.wait(120000));
  ASSERT_EQ(
      messages_,
      (std::vector<Message>{{"All files in the folders were finished", "Program is Finished"}}));

  const std::string cli = (root / "cli").string();
  const std::string command = std::string("'") + TERRAVOX_BINARY_DIR +
                              "/src/app/terravox-cli' run --input xyz --xyz-dir '" + cli +
                              "/xyz' --ascii-dir '" + cli + "/ascii' --grid-dir '" + cli +
                              "/grid' --contour-dir '" + cli + "/contour' --slope-dir '" + cli +
                              "/slope' --log '" + cli + "/x.log' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const auto window_files = Contents(root / "window");
  const auto cli_files = Contents(root / "cli");
  EXPECT_GT(window_files.size(), 20u);
  EXPECT_EQ(window_files.size(), cli_files.size());
  for (const auto& [path, bytes] : window_files) {
    auto other = cli_files.find(path);
    ASSERT_NE(other, cli_files.end()) << path;
    EXPECT_TRUE(other->second == bytes) << path << " differs";
  }
}

// The run may end while the question is open: the question then goes by itself, and neither
// stops nor closes anything.
TEST_F(MainWindowRunTest, TheQuestionClosesItselfWhenTheRunEnds) {
  Prepare("run", {50, 300});
  bool asked = false;
  int late = 0;
  QTimer watch;  // a question left open would hold the test: it is closed, as a failure
  QObject::connect(&watch, &QTimer::timeout, [&] {
    QWidget* question = QApplication::activeModalWidget();
    asked |= question != nullptr;
    if (question != nullptr && !window_.running() && ++late == 500) {
      ADD_FAILURE() << "the question stayed open after the run";
      question->close();
    }
  });
  QTest::mouseClick(window_.Command4, Qt::LeftButton);
  ASSERT_TRUE(WaitForFile("b.xyz"));
  watch.start(10);
  QTest::mouseClick(window_.Command5, Qt::LeftButton);  // returns once the question has gone
  EXPECT_TRUE(asked);
  EXPECT_EQ(
      messages_,
      (std::vector<Message>{{"All files in the folders were finished", "Program is Finished"}}));
  EXPECT_EQ(about_shown_, 0);
  EXPECT_TRUE(window_.isVisible());
}

// The bar tells how far the step in the caption above it is: it grows through the XYZ step's
// second file while another thread grids it, and never goes back under one step's captions.
TEST_F(MainWindowRunTest, TheBarShowsTheProgressOfTheCaptionedStep) {
  RunOptions options;
  options.jobs = 2;  // files worked out ahead of the step, on threads of their own
  window_.SetRunOptions(options);
  Prepare("run", {50, 1500});
  std::vector<std::pair<std::string, int>> shown;  // the caption's step, the bar
  QObject::connect(window_.StepProgressBar, &QProgressBar::valueChanged, [&](int value) {
    const std::string& caption = window_.status_caption();
    shown.emplace_back(caption.substr(0, caption.find_first_of("(/")), value);
  });
  QSignalSpy ended(&window_, &FrmMain::runFinished);
  QTest::mouseClick(window_.Command4, Qt::LeftButton);
  ASSERT_TRUE(ended.wait(60000));
  for (size_t i = 1; i < shown.size(); ++i) {
    if (shown[i].first == shown[i - 1].first) {
      EXPECT_GE(shown[i].second, shown[i - 1].second) << shown[i].first;
    }
  }
  EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const auto& at) {
    return at.first == "Running : XYZ-->ASCII" && at.second > 500 && at.second < 1000;
  }));
}

TEST_F(MainWindowRunTest, TheStatusLineShortensALongPathInItsMiddle) {
  const std::string caption =
      "Running : ESRI GRID--> Get Slope /" + std::string(300, 'd') + "/the_raster_name";
  window_.SetStatusCaption(caption);
  const std::string shown = window_.Label6->text().toStdString();
  EXPECT_LT(shown.size(), caption.size());
  EXPECT_EQ(shown.rfind("Running : ", 0), 0u) << shown;
  EXPECT_TRUE(shown.ends_with("the_raster_name")) << shown;
  EXPECT_EQ(window_.Label6->toolTip().toStdString(), caption);
  EXPECT_EQ(window_.host().StatusText(), caption);
  // A tooltip on show follows the caption, and goes with the shortening.
  QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), window_.Label6->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(window_.Label6, &hover);
  window_.SetStatusCaption(caption + "2");
  EXPECT_EQ(QToolTip::text().toStdString(), caption + "2");

  window_.SetStatusCaption("Running : short");
  EXPECT_EQ(window_.Label6->text().toStdString(), "Running : short");
  EXPECT_TRUE(window_.Label6->toolTip().isEmpty());
  EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000));
}

}  // namespace
}  // namespace terravox
