// BoxRecorder: a Host that passes everything on to another and remembers the last message box
// shown through it, so a stopped run's report can say what stopped it.
#pragma once

#include <string>

#include "core/host.h"

namespace terravox {

class BoxRecorder : public Host {
 public:
  explicit BoxRecorder(Host& host) : host_(host) {}

  // "TITLE: TEXT" of the last box shown; empty when none was.
  const std::string& last_box() const { return last_box_; }

  std::string GridFolder() const override { return host_.GridFolder(); }
  std::string ContourBase() const override { return host_.ContourBase(); }
  std::string ContourInterval() const override { return host_.ContourInterval(); }
  std::string ContourFolder() const override { return host_.ContourFolder(); }
  std::string SlopeFolder() const override { return host_.SlopeFolder(); }
  std::string AsciiFolder() const override { return host_.AsciiFolder(); }
  std::string XyzFolder() const override { return host_.XyzFolder(); }
  std::string CellSizeText() const override { return host_.CellSizeText(); }
  bool InputIsXyz() const override { return host_.InputIsXyz(); }
  bool InputIsAscii() const override { return host_.InputIsAscii(); }
  bool CellSizeGiven() const override { return host_.CellSizeGiven(); }
  bool RunContour() const override { return host_.RunContour(); }
  bool RunSlope() const override { return host_.RunSlope(); }
  void SetStatus(const std::string& caption) override { host_.SetStatus(caption); }
  std::string StatusText() const override { return host_.StatusText(); }
  void Repaint() override { host_.Repaint(); }
  FileList& FolderList() override { return host_.FolderList(); }
  void MsgBox(const std::string& text, const std::string& title = kAppTitle) override {
    last_box_ = title + ": " + text;
    host_.MsgBox(text, title);
  }

 private:
  Host& host_;
  std::string last_box_;
};

}  // namespace terravox
