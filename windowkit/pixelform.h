#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

class QLabel;

// Windows laid out in pixels. Each window lists its controls with their
// position and size within their parent, as the layout tables give them, and
// places them with these helpers. The font is fixed in pixels so that captions
// fit their controls on every desktop; at a device pixel ratio of 2 Qt scales
// the whole window, positions, sizes and font alike.
namespace pixelform {

// DejaVu Sans at 11 pixels: the height and width of an 8 point dialog font.
[[nodiscard]] QFont formFont();

// A fixed-size window: the form font and a client area that cannot be resized.
void setupFixedWindow(QWidget* window, QSize client);

// Moves a top-level window to the centre of its screen.
void centreOnScreen(QWidget* window);

// Creates a control of type W with its system name, at geometry within parent.
template <typename W, typename... Args>
W* place(QWidget* parent, const QString& name, const QRect& geometry, Args&&... args)
{
    auto* widget = new W(std::forward<Args>(args)..., parent);
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

// A label at its top-left corner, as wide and high as its text.
QLabel* placeLabel(QWidget* parent, const QString& name, QPoint topLeft, const QString& text);

} // namespace pixelform
