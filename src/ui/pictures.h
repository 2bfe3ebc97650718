// The windows' small pictures, drawn in code, and the plain widget that shows one.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace terravox {

// Shows a picture at its top left corner. Unlike a QLabel it draws the picture unchanged while
// disabled: a disabled picture here only means it takes no clicks.
class PictureBox : public QWidget {
 public:
  explicit PictureBox(const QPixmap& picture, QWidget* parent = nullptr);
  const QPixmap& picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap picture_;
};

// A column of downward chevrons, 9 x 27 pixels: one arrow of the conversion chain.
QPixmap DownArrowPicture();
// The about box's banner, 94 x 40 pixels: a terrain profile over a raster grid.
QPixmap BannerPicture();
// The about box's icon, 32 x 32 pixels: a hill drawn as contour rings.
QPixmap ContourIconPicture();

}  // namespace terravox
