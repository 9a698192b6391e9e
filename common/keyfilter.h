// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

#include <functional>

// Key filters over texts that arrive in one piece: a paste, a drop, a text set
// from outside the window. Such a text goes into a field as if its characters
// were typed one by one at the end of the field's text, but it is judged in
// one pass and only as far as the field has room, so a long paste costs no
// more than the field can hold.
namespace keyfilter {

// Keys rather than characters: a text that holds them types neither.
inline constexpr QChar kBackspace{8};
inline constexpr QChar kEnter{13};

struct Accepted
{
    QString text;
    // A character was refused before the room was filled.
    bool refused = false;
};

// The characters of typed that take lets in, in order, until room of them are
// taken. take sees each character once, in order, and may keep state.
[[nodiscard]] Accepted accept(QStringView typed, qsizetype room,
                              const std::function<bool(QChar)>& take);

// A field for a decimal number with at most one digit after its point, as
// its key filter sees the text: whether it holds the point, and whether
// anything follows it. The filter looks at the whole text, not at the caret.
class DecimalText
{
public:
    // evenDecimal: the digit after the point must be 0, 2, 4, 6 or 8.
    DecimalText(QStringView text, QChar point, bool evenDecimal);

    // True when the filter lets c in; the text then holds it.
    [[nodiscard]] bool take(QChar c);

private:
    QChar m_point;
    bool m_evenDecimal;
    bool m_hasPoint;
    bool m_afterPoint;
};

} // namespace keyfilter
