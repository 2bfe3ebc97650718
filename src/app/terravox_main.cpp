// The window program: the main window, shown until it is closed.
#include <QApplication>

#include "core/batch_mdl.h"
#include "ui/frm_main.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  terravox::BatchMdl mdl;
  terravox::FrmMain window(mdl);
  window.show();
  return app.exec();
}
