// Host: the narrow interface through which the batch and GIS steps see the main window: its
// setting controls by their names, the status line, repaint, the hidden file list and message
// boxes. The Qt window implements it, and so do the headless front end and tests.
#pragma once

#include <string>

#include "batch/folder_listing.h"

namespace terravox {

inline constexpr const char* kAppTitle = "Terravox";

class Host {
 public:
  virtual ~Host() = default;

  // Setting controls, read at the moment a step needs them.
  virtual std::string Text1() const = 0;  // GRID folder
  virtual std::string Text2() const = 0;  // contour start value
  virtual std::string Text3() const = 0;  // contour interval
  virtual std::string Text4() const = 0;  // contour folder
  virtual std::string Text5() const = 0;  // slope folder
  virtual std::string Text6() const = 0;  // ASCII grid folder
  virtual std::string Text7() const = 0;  // XYZ folder
  virtual std::string Text8() const = 0;  // given cell size
  virtual bool Option1() const = 0;       // input kind "XYZ File" selected
  virtual bool Option2() const = 0;       // input kind "ASCII Raster File" selected
  virtual bool Option4() const = 0;       // "Cell Size" (given) selected
  virtual bool Check1() const = 0;        // "Run Contour" checked
  virtual bool Check2() const = 0;        // "Run Slope" checked

  // The status line: its caption, then a repaint so that the caption shows during a run.
  virtual void SetLabel6(const std::string& caption) = 0;
  virtual std::string Label6() const = 0;
  virtual void Repaint() = 0;

  // The hidden file list of the main window.
  virtual FileList& File1() = 0;

  // A modal message box with an OK button only and no icon; returns when it is closed.
  virtual void MsgBox(const std::string& text, const std::string& title = kAppTitle) = 0;
};

}  // namespace terravox
