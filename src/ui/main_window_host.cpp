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

std::string MainWindowHost::GridFolder() const { return TextOf(window_.Text1); }
std::string MainWindowHost::ContourBase() const { return TextOf(window_.Text2); }
std::string MainWindowHost::ContourInterval() const { return TextOf(window_.Text3); }
std::string MainWindowHost::ContourFolder() const { return TextOf(window_.Text4); }
std::string MainWindowHost::SlopeFolder() const { return TextOf(window_.Text5); }
std::string MainWindowHost::AsciiFolder() const { return TextOf(window_.Text6); }
std::string MainWindowHost::XyzFolder() const { return TextOf(window_.Text7); }
std::string MainWindowHost::CellSizeText() const { return TextOf(window_.Text8); }
bool MainWindowHost::InputIsXyz() const { return window_.Option1->isChecked(); }
bool MainWindowHost::InputIsAscii() const { return window_.Option2->isChecked(); }
bool MainWindowHost::CellSizeGiven() const { return window_.Option4->isChecked(); }
bool MainWindowHost::RunContour() const { return window_.Check1->isChecked(); }
bool MainWindowHost::RunSlope() const { return window_.Check2->isChecked(); }

void MainWindowHost::SetStatus(const std::string& caption) { window_.SetStatusCaption(caption); }

std::string MainWindowHost::StatusText() const { return window_.status_caption(); }

void MainWindowHost::Repaint() { window_.repaint(); }

FileList& MainWindowHost::FolderList() { return window_.File1; }

void MainWindowHost::MsgBox(const std::string& text, const std::string& title) {
  window_.MsgBox(text, title);
}

}  // namespace terravox
