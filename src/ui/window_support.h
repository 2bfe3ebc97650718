// What the three windows share: twips to pixels, the small classic font, and the message box
// seam with its default, a modal box with no icon and only OK.
#pragma once

#include <QCursor>
#include <QFont>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QMessageBox;

namespace terravox {

// Shows a message and returns once it has been closed. Windows hold one of these so that tests
// can record messages instead of waiting behind a modal box.
using MessageSeam = std::function<void(const std::string& text, const std::string& title)>;

// A modal box over parent with no icon and only OK; an empty title gives the program's title.
void ShowMessageBox(QWidget* parent, const std::string& text, const std::string& title);

// Widens a message box so that the title bar has room for its whole title: a box sized to a
// short text would show "Pro… ped" for "Program is Stopped".
void FitTitle(QMessageBox& box);

// The busy cursor over a window and every control in it while this lives. Controls with a
// cursor of their own (a text box's I-beam) get it back afterwards.
class BusyCursor {
 public:
  explicit BusyCursor(QWidget& window);
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  struct Changed {
    QPointer<QWidget> widget;
    std::optional<QCursor> own;  // none: it showed its parent's
  };
  std::vector<Changed> changed_;
};

// Twips (1/1440 inch) to pixels at the logical DPI of the screen the widget is on: 15 twips make
// a pixel at 96 DPI.
int TwipsX(const QWidget* widget, int twips);
int TwipsY(const QWidget* widget, int twips);
QRect TwipsRect(const QWidget* widget, int left, int top, int width, int height);

// A small sans serif: the layout in twips was made for the classic 8 point dialog font, whose
// glyphs are narrower than those of the sans serif faces found here.
QFont ClassicFont();

}  // namespace terravox
