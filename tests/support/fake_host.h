// FakeHost: the window seam for tests. Serves control values, records every caption, repaint,
// message box and control read, so tests can check what a step showed and what it looked at.
#pragma once

#include <string>
#include <vector>

#include "batch/headless_host.h"
#include "batch/host.h"

namespace terravox::testing {

struct ShownMessage {
  std::string text;
  std::string title;
  std::string label6_at_show;  // the status line while the box was open
  bool operator==(const ShownMessage&) const = default;
};

class FakeHost : public Host {
 public:
  ControlValues values;
  std::vector<std::string> captions;      // every SetLabel6, in order
  std::vector<ShownMessage> messages;     // every MsgBox, in order
  mutable std::vector<std::string> reads; // names of the controls read, in order
  int repaint_count = 0;

  std::string Text1() const override { return Read("Text1", values.Text1); }
  std::string Text2() const override { return Read("Text2", values.Text2); }
  std::string Text3() const override { return Read("Text3", values.Text3); }
  std::string Text4() const override { return Read("Text4", values.Text4); }
  std::string Text5() const override { return Read("Text5", values.Text5); }
  std::string Text6() const override { return Read("Text6", values.Text6); }
  std::string Text7() const override { return Read("Text7", values.Text7); }
  std::string Text8() const override { return Read("Text8", values.Text8); }
  bool Option1() const override { return Read("Option1", values.Option1); }
  bool Option2() const override { return Read("Option2", values.Option2); }
  bool Option4() const override { return Read("Option4", values.Option4); }
  bool Check1() const override { return Read("Check1", values.Check1); }
  bool Check2() const override { return Read("Check2", values.Check2); }

  void SetLabel6(const std::string& caption) override;
  std::string Label6() const override { return label6_; }
  void Repaint() override { ++repaint_count; }
  FileList& File1() override { return file1_; }
  void MsgBox(const std::string& text, const std::string& title = kAppTitle) override;

  // True when the named control was read at least once.
  bool WasRead(const std::string& control) const;

 private:
  template <typename T>
  T Read(const char* name, const T& value) const {
    reads.emplace_back(name);
    return value;
  }
  std::string label6_;
  FileList file1_;
};

}  // namespace terravox::testing
