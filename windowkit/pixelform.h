// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

class QFrame;
class QLabel;

// Windows laid out in pixels. Each window lists its controls with their
// position and size within their parent, as the layout tables give them, and
// places them with these helpers, each control under its system name (or, for
// the captions the layout leaves unnamed, a name that says what they are), so
// that tests and screenshots can find every one. Fonts and the place on the
// screen come from here too. The form font is fixed in pixels so that captions
// fit their controls on every desktop; at a device pixel ratio of 2 Qt scales
// the whole window, positions, sizes and font alike.
namespace pixelform {

// DejaVu Sans at 11 pixels: the height and width of an 8 point dialog font.
[[nodiscard]] QFont formFont();
// DejaVu Sans Mono at 11 pixels, for text whose columns must line up.
[[nodiscard]] QFont fixedPitchFont();

// The font a window's layout is drawn for. Most are drawn for the small
// dialog font and take the form font; the port dialog and the rules editor
// leave room enough around their captions to keep the desktop's own font.
enum class WindowFont
{
    Form,
    Desktop
};

// A fixed-size window: its font and a client area that cannot be resized.
void setupFixedWindow(QWidget* window, QSize client, WindowFont font = WindowFont::Form);

// Moves a top-level window so that its frame, title bar included, stands in
// the centre of its screen's available area.
void centreOnScreen(QWidget* window);

// Creates a control of type W with its name, at geometry within parent.
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

// A lowered box drawn around a group of controls.
QFrame* placeBevel(QWidget* parent, const QString& name, const QRect& geometry);

} // namespace pixelform
