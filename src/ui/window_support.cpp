// Twips, the classic font and the default message box.
#include "ui/window_support.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <cmath>

#include "core/host.h"

namespace terravox {

void ShowMessageBox(QWidget* parent, const std::string& text, const std::string& title) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title.empty() ? kAppTitle : title),
                  QString::fromStdString(text), QMessageBox::Ok, parent);
  box.exec();
}

namespace {

int Scale(int twips, int dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }

}  // namespace

int TwipsX(const QWidget* widget, int twips) { return Scale(twips, widget->logicalDpiX()); }

int TwipsY(const QWidget* widget, int twips) { return Scale(twips, widget->logicalDpiY()); }

QRect TwipsRect(const QWidget* widget, int left, int top, int width, int height) {
  return QRect(TwipsX(widget, left), TwipsY(widget, top), TwipsX(widget, width),
               TwipsY(widget, height));
}

QFont ClassicFont() {
  QFont font;
  // Families with the metrics of the classic dialog font first, so captions fit their controls.
  font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica"),
                    QStringLiteral("DejaVu Sans")});
  font.setPointSizeF(7.5);
  return font;
}

}  // namespace terravox
