// Pictures drawn with QPainter, so the program carries no image files.
#include "ui/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace terravox {

PictureBox::PictureBox(const QPixmap& picture, QWidget* parent)
    : QWidget(parent), picture_(picture) {}

void PictureBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, picture_);
}

QPixmap DownArrowPicture() {
  QPixmap picture(9, 27);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setPen(QPen(QColor(0, 0, 128), 1));
  // Four chevrons, each a V four pixels deep, spaced evenly down the column.
  for (int top = 3; top < 27; top += 6) {
    painter.drawLine(0, top, 4, top + 4);
    painter.drawLine(4, top + 4, 8, top);
    painter.drawLine(1, top - 1, 4, top + 2);
    painter.drawLine(4, top + 2, 7, top - 1);
  }
  return picture;
}

QPixmap BannerPicture() {
  QPixmap picture(94, 40);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);

  QLinearGradient sky(0, 0, 0, 40);
  sky.setColorAt(0, QColor(180, 210, 240));
  sky.setColorAt(1, QColor(240, 246, 252));
  painter.fillRect(picture.rect(), sky);

  // The raster: a faint cell grid under the terrain.
  painter.setPen(QPen(QColor(150, 170, 190), 0.5));
  for (int x = 0; x <= 94; x += 8) painter.drawLine(x, 24, x, 40);
  for (int y = 24; y <= 40; y += 4) painter.drawLine(0, y, 94, y);

  QPainterPath crest;
  crest.moveTo(0, 30);
  crest.cubicTo(14, 22, 22, 8, 34, 10);
  crest.cubicTo(44, 12, 48, 24, 58, 20);
  crest.cubicTo(68, 16, 76, 4, 94, 14);
  QPainterPath land = crest;
  land.lineTo(94, 40);
  land.lineTo(0, 40);
  land.closeSubpath();
  QLinearGradient fill(0, 4, 0, 40);
  fill.setColorAt(0, QColor(150, 110, 60, 220));
  fill.setColorAt(1, QColor(60, 130, 60, 220));
  painter.fillPath(land, fill);

  // Contour lines: the crest lowered step by step, kept inside the land.
  painter.save();
  painter.setClipPath(land);
  painter.setPen(QPen(QColor(90, 60, 30), 0.8));
  for (int offset = 5; offset <= 20; offset += 5) painter.drawPath(crest.translated(0, offset));
  painter.restore();
  painter.setPen(QPen(QColor(70, 50, 20), 1.2));
  painter.drawPath(crest);

  painter.setPen(QPen(QColor(40, 40, 40), 1));
  painter.drawRect(QRectF(0.5, 0.5, 93, 39));
  return picture;
}

QPixmap ContourIconPicture() {
  QPixmap picture(32, 32);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(QColor(235, 240, 220));
  painter.setPen(QPen(QColor(60, 60, 60), 1));
  painter.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 4, 4);

  const QColor rings[] = {QColor(70, 140, 70), QColor(120, 150, 60), QColor(170, 130, 60),
                          QColor(140, 80, 40)};
  QRectF ring(4, 6, 24, 20);
  for (const QColor& color : rings) {
    painter.setPen(QPen(color, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(ring);
    ring.adjust(3, 2.5, -2, -2.5);
  }
  return picture;
}

}  // namespace terravox
