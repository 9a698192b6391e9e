// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QImage>
#include <QPoint>
#include <QString>

// The lamp and indicator pictures of the main window, from the compiled-in
// images, and the flood fill that lights and darkens the lamps drawn in them.
namespace lamppictures {

// The lamp colours the indicator pictures are drawn in.
inline constexpr QRgb kBrightRed = 0xFFFF0000;
inline constexpr QRgb kDarkRed = 0xFF800000;
inline constexpr QRgb kBrightGreen = 0xFF00FF00;
inline constexpr QRgb kDarkGreen = 0xFF008000;

// Reference pixels, in design pixels: the left (low) and right (high) lamp of
// an input picture, and the activity lamp.
inline constexpr QPoint kInputLowLamp{3, 3};
inline constexpr QPoint kInputHighLamp{21, 3};
inline constexpr QPoint kActivityLamp{3, 3};

// Replaces the area of colour `from` that contains `seed` and is connected to
// it through edge neighbours by `to`. When the seed has another colour (also
// when it already has `to`) the image comes back unchanged, so a fill can be
// repeated safely. The seed is in device pixels of the image.
[[nodiscard]] QImage FloodFill(const QImage& image, QPoint seed, QRgb from, QRgb to);

// A compiled-in picture by name ("inputimage", "onimage", "ledimage", ...),
// drawn for the given device pixel ratio: the 2x image above a ratio of 1.
[[nodiscard]] QImage Picture(const QString& name, qreal devicePixelRatio);

// A lamp glyph or button picture ("ledgon", "ledtoff", "write", ...) with its
// 16 x 16 and 32 x 32 images.
[[nodiscard]] QIcon Glyph(const QString& name);

// The application icon in all its sizes.
[[nodiscard]] QIcon MainIcon();

// An input picture showing the input low (left lamp bright red, right lamp
// dark green) or high (left dark red, right bright green).
[[nodiscard]] QImage ShowInput(const QImage& picture, bool high);

// The activity lamp lit (bright red) or dark (dark red).
[[nodiscard]] QImage ShowActivity(const QImage& picture, bool lit);

} // namespace lamppictures
