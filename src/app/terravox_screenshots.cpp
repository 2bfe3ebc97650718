// Writes pictures of the windows into a folder: the main window fresh and with "XYZ File" and
// both extra operations chosen, the folder dialog, and the about box. Run it on a display.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QRadioButton>
#include <QTest>

#include <cstdio>

#include "core/batch_mdl.h"
#include "ui/frm_about.h"
#include "ui/frm_fd_sel.h"
#include "ui/frm_main.h"

namespace {

bool Save(QWidget& window, const QString& folder, const QString& name) {
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return false;
  QApplication::processEvents();
  const QString path = QDir(folder).filePath(name);
  if (!window.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
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
  return ok ? 0 : 1;
}
