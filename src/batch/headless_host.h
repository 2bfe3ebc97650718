// HeadlessHost: the window seam without a window, for the command line and for tests.
// Control values live in a plain struct; captions and messages go to optional callbacks.
#pragma once

#include <functional>
#include <string>

#include "batch/host.h"

namespace terravox {

// The main window's setting controls with their start values.
struct ControlValues {
  std::string Text1;
  std::string Text2 = "0";
  std::string Text3 = "5";
  std::string Text4;
  std::string Text5;
  std::string Text6;
  std::string Text7;
  std::string Text8 = "5";
  bool Option1 = false;
  bool Option2 = false;
  bool Option3 = true;  // "ESRI GRID": the case where neither of the other two is selected
  bool Option4 = false;
  bool Option5 = true;
  bool Check1 = false;
  bool Check2 = false;
};

class HeadlessHost : public Host {
 public:
  ControlValues values;
  // Called with each new status caption, after it is stored.
  std::function<void(const std::string& caption)> on_status;
  // Called with each message box; the box "closes" when it returns.
  std::function<void(const std::string& text, const std::string& title)> on_message;

  std::string Text1() const override { return values.Text1; }
  std::string Text2() const override { return values.Text2; }
  std::string Text3() const override { return values.Text3; }
  std::string Text4() const override { return values.Text4; }
  std::string Text5() const override { return values.Text5; }
  std::string Text6() const override { return values.Text6; }
  std::string Text7() const override { return values.Text7; }
  std::string Text8() const override { return values.Text8; }
  bool Option1() const override { return values.Option1; }
  bool Option2() const override { return values.Option2; }
  bool Option4() const override { return values.Option4; }
  bool Check1() const override { return values.Check1; }
  bool Check2() const override { return values.Check2; }

  void SetLabel6(const std::string& caption) override;
  std::string Label6() const override { return label6_; }
  void Repaint() override {}
  FileList& File1() override { return file1_; }
  void MsgBox(const std::string& text, const std::string& title = kAppTitle) override;

 private:
  std::string label6_;
  FileList file1_;
};

}  // namespace terravox
