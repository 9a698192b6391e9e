// SPDX-License-Identifier: GPL-3.0-or-later
#include "timers/chantimer.h"

#include "common/conversions.h"
#include "common/daynumber.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace chantimer {

QStringList MakeRecord(const QString& channel, double onTime, double offTime, const QString& togOn,
                       const QString& togOff, const QString& days, QChar decimalPoint)
{
    return {channel,
            FormatGeneral(onTime, decimalPoint),
            FormatGeneral(offTime, decimalPoint),
            togOn,
            togOff,
            days,
            QStringLiteral("0"),
            QStringLiteral("0"),
            togOn};
}

void AppendRecord(QStringList& list, const QStringList& record)
{
    list.append(record);
}

void OverwriteRecord(QStringList& list, int firstLine, const QStringList& record)
{
    const qsizetype first = firstLine;
    if (first < 0 || first > list.size())
        return;
    for (qsizetype i = 0; i < record.size(); ++i) {
        const qsizetype line = first + i;
        if (line < list.size())
            list[line] = record.at(i);
        else
            list.append(record.at(i));
    }
}

void DeleteRecord(QStringList& list, int firstLine)
{
    const qsizetype first = firstLine;
    if (first < 0 || first >= list.size())
        return;
    list.remove(first, std::min<qsizetype>(kRecordLines, list.size() - first));
}

std::optional<double> ParseNumber(const QString& text)
{
    const QStringView trimmed = QStringView(text).trimmed();
    std::array<char, 40> buffer{};
    bool plain = !trimmed.isEmpty() && trimmed.size() < qsizetype(buffer.size());
    qsizetype length = 0;
    for (qsizetype i = 0; plain && i < trimmed.size(); ++i) {
        const char16_t c = trimmed.at(i).unicode();
        const bool digit = c >= u'0' && c <= u'9';
        // A leading "+" is the only sign the fast path leaves to the
        // full conversion.
        plain = digit || c == u'.' || c == u',' || c == u'-' || c == u'e' || c == u'E';
        buffer.at(static_cast<size_t>(length++)) = c == u',' ? '.' : static_cast<char>(c);
    }
    if (plain) {
        double value = 0;
        const char* begin = buffer.data();
        const char* end = begin + length;
        const auto [stop, error] = std::from_chars(begin, end, value, std::chars_format::general);
        if (error == std::errc{} && stop == end && std::isfinite(value) &&
            std::count(begin, end, '.') <= 1)
            return value;
    }
    bool ok = false;
    const double value = StrToFloatOk(text, &ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

bool IsDaily(const QString& days)
{
    return days.contains(QLatin1Char('1'));
}

bool DaySelected(const QString& days, int weekday)
{
    return weekday >= 1 && weekday <= days.size() && days.at(weekday - 1) == QLatin1Char('1');
}

std::optional<ShownRecord> ReadForEditor(const QStringList& list, int firstLine)
{
    if (firstLine < 0 || firstLine + Days >= list.size())
        return std::nullopt;
    const auto line = [&](Line n) -> const QString& { return list.at(firstLine + n); };

    ShownRecord shown;
    const int channel = StrToIntDef(line(Channel), 0);
    shown.channel = (channel >= 1 && channel <= 16) ? line(Channel) : QStringLiteral("01");

    const auto pattern = [&](Line n) -> QString {
        bool parsed = false;
        const double dayNumber = StrToFloatOk(line(n), &parsed);
        return parsed ? FormatFieldPattern(dayNumber) : QString();
    };
    shown.onPattern = pattern(OnTime);
    shown.offPattern = pattern(OffTime);
    if (shown.onPattern.isEmpty() || shown.offPattern.isEmpty())
        return std::nullopt;

    const auto toggle = [&](Line n) { return line(n) == QLatin1String("0") ? QString() : line(n); };
    shown.togOn = toggle(TogOn);
    shown.togOff = toggle(TogOff);

    // A short Days line reads as if padded with "0"; a long one by its first
    // seven characters.
    for (int d = 1; d <= 7; ++d)
        shown.days.at(static_cast<size_t>(d - 1)) = DaySelected(line(Days), d);
    return shown;
}

} // namespace chantimer
