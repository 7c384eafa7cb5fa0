// Window layouts are kept in twips, as they were designed; 15 twips make one logical pixel
// at 96 dpi, and Qt scales logical pixels on denser screens by itself.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

class QWidget;

#include "design/windows_design.h"

namespace tessarel {

constexpr int kTwipsPerPixel = 15;

constexpr int Px(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

inline QRect TwipRect(int left, int top, int width, int height) {
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

// Places widget at a rectangle of the layout, in twips of its container, in font when given.
template <typename W>
W* PlaceTwips(W* widget, int left, int top, int width, int height, const QFont* font = nullptr) {
    widget->setGeometry(TwipRect(left, top, width, height));
    if (font) {
        widget->setFont(*font);
    }
    return widget;
}

// The serif face of the design, or the closest face Debian ships.
QFont BookmanFont(double points, int weight);

// The script face of the title, or the closest face Debian ships.
QFont CalligraphyFont(double points, int weight);

// The sans face of the Help window's texts, or the closest face Debian ships.
QFont SansFont(double points, int weight);

// A font of the design, in the named face or its nearest equivalent.
QFont FontOf(const FontDesign& font);

// Sets the text colour of widget to a colour the design fixes, made readable on the background
// the widget is drawn on.
void SetTextColour(QWidget* widget, uint32_t rgb);

// A window larger than the room available on its screen (at a high scale) is made to fit: its
// contents scroll inside it, and it is placed at the room's corner. Nothing changes otherwise.
void FitToScreen(QWidget* window, const QRect& available);
// The same on the screen the window is on (the primary one before it is shown).
void FitToScreen(QWidget* window);

}  // namespace tessarel
