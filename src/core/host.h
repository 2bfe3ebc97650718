// Host: the narrow interface through which the batch steps see the main window: the run's
// settings by meaning, the status line, repaint, the folder listing and message boxes. The Qt
// window implements it, and so do the headless front end and tests.
#pragma once

#include <string>

#include "core/folder_listing.h"

namespace terravox {

inline constexpr const char* kAppTitle = "Terravox";

class Host {
 public:
  virtual ~Host() = default;

  // The run's settings, read at the moment a step needs them. Folder and number texts are as
  // the user typed them.
  virtual std::string GridFolder() const = 0;
  virtual std::string ContourBase() const = 0;  // start value of the contour lines
  virtual std::string ContourInterval() const = 0;
  virtual std::string ContourFolder() const = 0;
  virtual std::string SlopeFolder() const = 0;
  virtual std::string AsciiFolder() const = 0;
  virtual std::string XyzFolder() const = 0;
  virtual std::string CellSizeText() const = 0;  // the given cell size of the XYZ grids
  virtual bool InputIsXyz() const = 0;           // the input kind is "XYZ File"
  virtual bool InputIsAscii() const = 0;         // the input kind is "ASCII Raster File"
  virtual bool CellSizeGiven() const = 0;        // else it is derived from the points
  virtual bool RunContour() const = 0;
  virtual bool RunSlope() const = 0;

  // The status line: its caption, then a repaint so that the caption shows during a run.
  virtual void SetStatus(const std::string& caption) = 0;
  virtual std::string StatusText() const = 0;
  virtual void Repaint() = 0;

  // The folder listing the steps walk (the main window's hidden file list).
  virtual FileList& FolderList() = 0;

  // A modal message box with an OK button only and no icon; returns when it is closed.
  virtual void MsgBox(const std::string& text, const std::string& title = kAppTitle) = 0;
};

}  // namespace terravox
