// HeadlessHost: the window seam without a window, for the command line and for tests.
// Settings live in a plain struct; captions and messages go to optional callbacks.
#pragma once

#include <functional>
#include <string>

#include "core/host.h"

namespace terravox {

// The settings of a run, with the start values of the window's controls.
struct Settings {
  std::string grid_folder;
  std::string contour_base = "0";
  std::string contour_interval = "5";
  std::string contour_folder;
  std::string slope_folder;
  std::string ascii_folder;
  std::string xyz_folder;
  std::string cell_size = "5";
  bool input_xyz = false;
  bool input_ascii = false;
  bool cell_size_given = false;
  bool run_contour = false;
  bool run_slope = false;
};

class HeadlessHost : public Host {
 public:
  Settings values;
  // Called with each new status caption, after it is stored.
  std::function<void(const std::string& caption)> on_status;
  // Called with each message box; the box "closes" when it returns.
  std::function<void(const std::string& text, const std::string& title)> on_message;

  std::string GridFolder() const override { return values.grid_folder; }
  std::string ContourBase() const override { return values.contour_base; }
  std::string ContourInterval() const override { return values.contour_interval; }
  std::string ContourFolder() const override { return values.contour_folder; }
  std::string SlopeFolder() const override { return values.slope_folder; }
  std::string AsciiFolder() const override { return values.ascii_folder; }
  std::string XyzFolder() const override { return values.xyz_folder; }
  std::string CellSizeText() const override { return values.cell_size; }
  bool InputIsXyz() const override { return values.input_xyz; }
  bool InputIsAscii() const override { return values.input_ascii; }
  bool CellSizeGiven() const override { return values.cell_size_given; }
  bool RunContour() const override { return values.run_contour; }
  bool RunSlope() const override { return values.run_slope; }

  void SetStatus(const std::string& caption) override;
  std::string StatusText() const override { return status_text_; }
  void Repaint() override {}
  FileList& FolderList() override { return folder_list_; }
  void MsgBox(const std::string& text, const std::string& title = kAppTitle) override;

 private:
  std::string status_text_;
  FileList folder_list_;
};

}  // namespace terravox
