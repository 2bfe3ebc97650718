// WorkerHost: the window's seam as a run on a worker thread sees it. Every call is carried to
// the window's thread in the order it was made: captions and repaints are queued, setting reads
// and message boxes wait there for their answer, so boxes keep their order and modality.
#pragma once

#include "core/host.h"

class QObject;

namespace terravox {

class WorkerHost final : public Host {
 public:
  // window_host is used on the thread of context (the window), and both must outlive the run.
  WorkerHost(Host& window_host, QObject& context) : target_(window_host), context_(context) {}

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
  void Repaint() override;
  // The hidden file list is the run's alone while it goes on: used directly.
  FileList& FolderList() override { return target_.FolderList(); }
  void MsgBox(const std::string& text, const std::string& title = kAppTitle) override;

 private:
  // Runs read on the window's thread and returns its answer.
  template <typename T, typename Read>
  T Ask(Read read) const;

  Host& target_;
  QObject& context_;
};

}  // namespace terravox
