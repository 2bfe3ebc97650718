// FakeHost: the window seam for tests. Serves control values, records every caption, repaint,
// message box and control read, so tests can check what a step showed and what it looked at.
#pragma once

#include <string>
#include <vector>

#include "batch/headless_host.h"
#include "core/host.h"

namespace terravox::testing {

struct ShownMessage {
  std::string text;
  std::string title;
  std::string status_at_show;  // the status line while the box was open
  bool operator==(const ShownMessage&) const = default;
};

class FakeHost : public Host {
 public:
  Settings values;
  std::vector<std::string> captions;       // every SetStatus, in order
  std::vector<ShownMessage> messages;      // every MsgBox, in order
  mutable std::vector<std::string> reads;  // names of the controls read, in order
  int repaint_count = 0;

  std::string GridFolder() const override { return Read("GridFolder", values.grid_folder); }
  std::string ContourBase() const override { return Read("ContourBase", values.contour_base); }
  std::string ContourInterval() const override {
    return Read("ContourInterval", values.contour_interval);
  }
  std::string ContourFolder() const override {
    return Read("ContourFolder", values.contour_folder);
  }
  std::string SlopeFolder() const override { return Read("SlopeFolder", values.slope_folder); }
  std::string AsciiFolder() const override { return Read("AsciiFolder", values.ascii_folder); }
  std::string XyzFolder() const override { return Read("XyzFolder", values.xyz_folder); }
  std::string CellSizeText() const override { return Read("CellSizeText", values.cell_size); }
  bool InputIsXyz() const override { return Read("InputIsXyz", values.input_xyz); }
  bool InputIsAscii() const override { return Read("InputIsAscii", values.input_ascii); }
  bool CellSizeGiven() const override { return Read("CellSizeGiven", values.cell_size_given); }
  bool RunContour() const override { return Read("RunContour", values.run_contour); }
  bool RunSlope() const override { return Read("RunSlope", values.run_slope); }

  void SetStatus(const std::string& caption) override;
  std::string StatusText() const override { return status_text_; }
  void Repaint() override { ++repaint_count; }
  FileList& FolderList() override { return folder_list_; }
  void MsgBox(const std::string& text, const std::string& title = kAppTitle) override;

  // True when the named control was read at least once.
  bool WasRead(const std::string& control) const;

 private:
  template <typename T>
  T Read(const char* name, const T& value) const {
    reads.emplace_back(name);
    return value;
  }
  std::string status_text_;
  FileList folder_list_;
};

}  // namespace terravox::testing
