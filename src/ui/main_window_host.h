// MainWindowHost: the main window as the batch steps see it. The one place where the window's
// controls (Text1, Option4, Label6, File1...) are mapped onto the seam's settings by meaning.
#pragma once

#include "core/host.h"

namespace terravox {

class FrmMain;

class MainWindowHost final : public Host {
 public:
  explicit MainWindowHost(FrmMain& window) : window_(window) {}

  std::string GridFolder() const override;
  std::string ContourBase() const override;
  std::string ContourInterval() const override;
  std::string ContourFolder() const override;
  std::string SlopeFolder() const override;
  std::string AsciiFolder() const override;
  std::string XyzFolder() const override;
  std::string CellSizeText() const override;
  bool InputIsXyz() const override;
  bool InputIsAscii() const override;
  bool CellSizeGiven() const override;
  bool RunContour() const override;
  bool RunSlope() const override;

  void SetStatus(const std::string& caption) override;
  std::string StatusText() const override;
  // Paints the whole window at once, without letting the event loop run: a batch run keeps the
  // thread until it ends, and the status line must still show each step.
  void Repaint() override;
  FileList& FolderList() override;
  void MsgBox(const std::string& text, const std::string& title = kAppTitle) override;

 private:
  FrmMain& window_;
};

}  // namespace terravox
