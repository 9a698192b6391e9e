// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QString>

#include <array>
#include <vector>

// The main window's controls as one table, in pixels of the client area:
// what each control is, its system name, the panel it sits on, where, its
// caption and its picture.
namespace mainwindowtable {

enum class Kind
{
    Panel,          // raised panel holding other controls
    Label,          // text; sized to its text when no width is given
    RelayIndicator, // 38 x 14 relay face
    InputIndicator, // 38 x 14 two-lamp input picture
    Template,       // hidden relay face the indicators copy
    ActivityLamp,   // the logger's 7 x 7 lamp
    SetButton,      // SET button of one relay
    LampSwitch,     // 23 x 22 button showing only a lamp
    Button,         // push button with a picture and a caption
};

struct Control
{
    Kind kind;
    QString name;
    QString parent; // empty: the client area
    QRect geometry; // no size: a label as wide and high as its text
    QString text;   // caption
    QString image;  // picture or lamp glyph
    int tag = -1;
};

[[nodiscard]] std::vector<Control> controls();

// The relay and input indicators' hint.
inline const QString kHint = QStringLiteral("Read digital IO 0");
// Names of the input indicators, input 1 first.
inline constexpr std::array<const char*, 6> kInputNames{"In1image", "In2Image", "In3Image",
                                                        "In4Image", "In5Image", "In6Image"};
// Out1image ... Out8image, OutImage9 ... OutImage16.
[[nodiscard]] QString relayIndicatorName(int relay);
// A relay number as the window shows it: "01" ... "16".
[[nodiscard]] QString twoDigits(int n);

} // namespace mainwindowtable
