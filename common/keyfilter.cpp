// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/keyfilter.h"

namespace keyfilter {

Accepted accept(QStringView typed, qsizetype room, const std::function<bool(QChar)>& take)
{
    Accepted accepted;
    for (const QChar c : typed) {
        if (accepted.text.size() >= room)
            break;
        if (c == kBackspace || c == kEnter)
            continue;
        if (take(c))
            accepted.text += c;
        else
            accepted.refused = true;
    }
    return accepted;
}

DecimalText::DecimalText(QStringView text, QChar point, bool evenDecimal)
    : m_point(point), m_evenDecimal(evenDecimal)
{
    const qsizetype at = text.indexOf(point);
    m_hasPoint = at >= 0;
    m_afterPoint = m_hasPoint && at != text.size() - 1;
}

bool DecimalText::take(QChar c)
{
    if (c == m_point) {
        if (m_hasPoint)
            return false;
        m_hasPoint = true;
        return true;
    }
    if (c < QLatin1Char('0') || c > QLatin1Char('9'))
        return false;
    if (!m_hasPoint)
        return true;
    if (m_afterPoint || (m_evenDecimal && c.digitValue() % 2 != 0))
        return false;
    m_afterPoint = true;
    return true;
}

} // namespace keyfilter
