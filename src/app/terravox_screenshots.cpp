// Writes pictures of the windows into a folder: the main window fresh, with "XYZ File" and both
// extra operations chosen, and in the middle of a run; the folder dialog, and the about box.
// Run it on a display.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <fstream>
#include <string>

#include "core/batch_mdl.h"
#include "ui/frm_about.h"
#include "ui/frm_fd_sel.h"
#include "ui/frm_main.h"

namespace {

bool Save(QWidget& window, const QString& folder, const QString& name) {
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return false;
  // Active, as a window manager would make it, so that the focus shows.
  window.activateWindow();
  (void)QTest::qWaitForWindowActive(&window, 1000);
  QApplication::processEvents();
  const QString path = QDir(folder).filePath(name);
  if (!window.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

// Writes an n by n lattice of XYZ points, spacing 5, on a rippled plane.
bool WriteLattice(const QString& path, int n) {
  std::ofstream out(path.toStdString(), std::ios::binary);
  std::string line;
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      line = std::to_string(x * 5) + " " + std::to_string(y * 5) + " " +
             std::to_string(x / 3 + y / 2 + (x * y) % 11) + "\r\n";
      out << line;
    }
  }
  return static_cast<bool>(out);
}

// The window halfway through the second of two large XYZ files, its progress bar showing
// three quarters of the step.
bool SaveMidRun(const QString& folder) {
  QTemporaryDir work;
  const QDir root(work.path());
  for (const char* sub : {"xyz", "ascii", "grid", "slope"}) root.mkpath(sub);
  for (const char* name : {"xyz/hills_north.xyz", "xyz/hills_south.xyz"}) {
    if (!WriteLattice(root.filePath(name), 1500)) return false;
  }
  terravox::BatchMdl mdl;
  terravox::FrmMain window(mdl);
  window.SetMessageSeam([](const std::string&, const std::string&) {});
  window.SetAboutBoxSeam([](terravox::FrmMain&) {});
  window.SetQuestionSeam([](const std::string&) { return true; });
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return false;
  QTest::mouseClick(window.Option1, Qt::LeftButton);
  QTest::mouseClick(window.Check2, Qt::LeftButton);
  window.Text7->setText(root.filePath("xyz"));
  window.Text6->setText(root.filePath("ascii"));
  window.Text1->setText(root.filePath("grid"));
  window.Text5->setText(root.filePath("slope"));
  QSignalSpy ended(&window, &terravox::FrmMain::runFinished);
  QTest::mouseClick(window.Command4, Qt::LeftButton);
  const bool midway = QTest::qWaitFor(
      [&] {
        return window.status_caption().find("hills_south") != std::string::npos &&
               window.StepProgressBar->value() >= 700;
      },
      60000);
  const bool saved = midway && Save(window, folder, "main_window_running.png");
  window.close();  // stops the run
  ended.wait(10000);
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: terravox_screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }

  bool ok = true;
  terravox::BatchMdl mdl;
  {
    terravox::FrmMain window(mdl);
    ok &= Save(window, folder, "main_window.png");
    QTest::mouseClick(window.Option1, Qt::LeftButton);
    QTest::mouseClick(window.Check1, Qt::LeftButton);
    QTest::mouseClick(window.Check2, Qt::LeftButton);
    ok &= Save(window, folder, "main_window_xyz_extra.png");

    // The dialogs are shown without their modal loop, so they can be pictured and closed here.
    window.folder = 1;
    terravox::FrmFdSel dialog(window, &window);
    ok &= Save(dialog, folder, "folder_dialog.png");
    dialog.hide();

    terravox::frmAbout about(&window);
    ok &= Save(about, folder, "about_box.png");
    about.hide();
  }
  ok &= SaveMidRun(folder);
  return ok ? 0 : 1;
}
