// MainWindowHost: reads the settings from the window's controls as they stand.
#include "ui/main_window_host.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "ui/frm_main.h"

namespace terravox {
namespace {

std::string TextOf(const QLineEdit* box) { return box->text().toStdString(); }

}  // namespace

std::string MainWindowHost::Text1() const { return TextOf(window_.Text1); }
std::string MainWindowHost::Text2() const { return TextOf(window_.Text2); }
std::string MainWindowHost::Text3() const { return TextOf(window_.Text3); }
std::string MainWindowHost::Text4() const { return TextOf(window_.Text4); }
std::string MainWindowHost::Text5() const { return TextOf(window_.Text5); }
std::string MainWindowHost::Text6() const { return TextOf(window_.Text6); }
std::string MainWindowHost::Text7() const { return TextOf(window_.Text7); }
std::string MainWindowHost::Text8() const { return TextOf(window_.Text8); }
bool MainWindowHost::Option1() const { return window_.Option1->isChecked(); }
bool MainWindowHost::Option2() const { return window_.Option2->isChecked(); }
bool MainWindowHost::Option4() const { return window_.Option4->isChecked(); }
bool MainWindowHost::Check1() const { return window_.Check1->isChecked(); }
bool MainWindowHost::Check2() const { return window_.Check2->isChecked(); }

void MainWindowHost::SetLabel6(const std::string& caption) {
  window_.Label6->setText(QString::fromStdString(caption));
}

std::string MainWindowHost::Label6() const { return window_.Label6->text().toStdString(); }

void MainWindowHost::Repaint() { window_.repaint(); }

FileList& MainWindowHost::File1() { return window_.File1; }

void MainWindowHost::MsgBox(const std::string& text, const std::string& title) {
  window_.MsgBox(text, title);
}

}  // namespace terravox
