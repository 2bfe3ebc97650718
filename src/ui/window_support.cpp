// Twips, the classic font and the default message box.
#include "ui/window_support.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QString>
#include <QWidget>

#include <cmath>

#include "core/host.h"

namespace terravox {

void ShowMessageBox(QWidget* parent, const std::string& text, const std::string& title) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title.empty() ? kAppTitle : title),
                  QString::fromStdString(text), QMessageBox::Ok, parent);
  FitTitle(box);
  box.exec();
}

void FitTitle(QMessageBox& box) {
  // Window managers draw titles in the desktop's font, often bold, beside an icon and up to
  // three buttons: the program's own (smaller) font would underestimate it.
  QFont title_font = QApplication::font();
  title_font.setBold(true);
  const QFontMetrics metrics(title_font);
  const int width = metrics.horizontalAdvance(box.windowTitle()) + 6 * metrics.height();
  // QMessageBox sizes itself from its layout, so the width goes in as a spacer there.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
}

BusyCursor::BusyCursor(QWidget& window) {
  QList<QWidget*> widgets = window.findChildren<QWidget*>();
  widgets.prepend(&window);
  for (QWidget* widget : widgets) {
    // Boxes and dialogs over the window keep their cursor: they take input during a run.
    if (widget->window() != &window) continue;
    if (widget != &window && !widget->testAttribute(Qt::WA_SetCursor)) continue;
    changed_.push_back({widget, widget->testAttribute(Qt::WA_SetCursor)
                                    ? std::optional<QCursor>(widget->cursor())
                                    : std::nullopt});
    widget->setCursor(Qt::BusyCursor);
  }
}

BusyCursor::~BusyCursor() {
  for (const Changed& changed : changed_) {
    if (changed.widget.isNull()) continue;
    if (changed.own) {
      changed.widget->setCursor(*changed.own);
    } else {
      changed.widget->unsetCursor();
    }
  }
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
