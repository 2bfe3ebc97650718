// MainWindowHost: the main window as the batch steps see it. A separate object because the
// window's controls carry the names that the Host methods also have (Text1, Label6, File1...).
#pragma once

#include "batch/host.h"

namespace terravox {

class FrmMain;

class MainWindowHost final : public Host {
 public:
  explicit MainWindowHost(FrmMain& window) : window_(window) {}

  std::string Text1() const override;
  std::string Text2() const override;
  std::string Text3() const override;
  std::string Text4() const override;
  std::string Text5() const override;
  std::string Text6() const override;
  std::string Text7() const override;
  std::string Text8() const override;
  bool Option1() const override;
  bool Option2() const override;
  bool Option4() const override;
  bool Check1() const override;
  bool Check2() const override;

  void SetLabel6(const std::string& caption) override;
  std::string Label6() const override;
  // Paints the whole window at once, without letting the event loop run: a batch run keeps the
  // thread until it ends, and the status line must still show each step.
  void Repaint() override;
  FileList& File1() override;
  void MsgBox(const std::string& text, const std::string& title = kAppTitle) override;

 private:
  FrmMain& window_;
};

}  // namespace terravox
