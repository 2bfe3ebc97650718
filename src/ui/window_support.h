// What the three windows share: twips to pixels, the small classic font, and the message box
// seam with its default, a modal box with no icon and only OK.
#pragma once

#include <QFont>
#include <QRect>

#include <functional>
#include <string>

class QWidget;

namespace terravox {

// Shows a message and returns once it has been closed. Windows hold one of these so that tests
// can record messages instead of waiting behind a modal box.
using MessageSeam = std::function<void(const std::string& text, const std::string& title)>;

// A modal box over parent with no icon and only OK; an empty title gives the program's title.
void ShowMessageBox(QWidget* parent, const std::string& text, const std::string& title);

// Twips (1/1440 inch) to pixels at the logical DPI of the screen the widget is on: 15 twips make
// a pixel at 96 DPI.
int TwipsX(const QWidget* widget, int twips);
int TwipsY(const QWidget* widget, int twips);
QRect TwipsRect(const QWidget* widget, int left, int top, int width, int height);

// A small sans serif: the layout in twips was made for the classic 8 point dialog font, whose
// glyphs are narrower than those of the sans serif faces found here.
QFont ClassicFont();

}  // namespace terravox
