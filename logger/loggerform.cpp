// SPDX-License-Identifier: GPL-3.0-or-later
// The logger window's checks and field handling, kept apart from the widgets
// so the Log on Timer switch and project loading use the same code while the
// window is hidden.
#include "logger/loggerform.h"

#include "common/conversions.h"
#include "common/daynumber.h"
#include "common/regional.h"

#include <QDate>

#include <algorithm>

namespace {

constexpr QChar kBackspace{8};
constexpr QChar kCarriageReturn{13};

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// A field holds the decimal digits of one value. Typing cannot put anything
// else there, but pasting can; such a text is reported, not converted.
bool readWholeNumber(const QString& text, int& value)
{
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), isAsciiDigit))
        return false;
    bool ok = false;
    value = text.toInt(&ok);
    return ok;
}

// Digits with at most one decimal point, as the key filter lets through.
bool isFrequencyText(const QString& text, QChar point)
{
    int points = 0;
    for (const QChar c : text) {
        if (c == point)
            ++points;
        else if (!isAsciiDigit(c))
            return false;
    }
    return points <= 1;
}

const std::array<QString, LoggerForm::kGroupSize>& valueNames()
{
    static const std::array<QString, LoggerForm::kGroupSize> names{
        QStringLiteral("Day"),  QStringLiteral("Month"),  QStringLiteral("Year"),
        QStringLiteral("Hour"), QStringLiteral("Minute"), QStringLiteral("Second")};
    return names;
}

} // namespace

QString FrequencyText(double frequency, QChar decimalPoint)
{
    QString text = QString::number(frequency, 'f', 1);
    if (decimalPoint != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), decimalPoint);
    return text;
}

void LoggerForm::SetLoggerEdits()
{
    CreateEditText(kOnGroup, LoggerOnTime);
    CreateEditText(kOffGroup, LoggerOffTime);
    fields[Frequency] =
        LoggerFrequency != 0 ? FrequencyText(LoggerFrequency, m_regional.decimalPoint) : QString();
    LogDataChanged = false;
}

void LoggerForm::CreateEditText(int group, double dateTime)
{
    const int first = group == kOnGroup ? OnDay : OffDay;
    // "ddmmyyyyhhmmss": the start and length of each field's part.
    static constexpr std::array<std::pair<int, int>, kGroupSize> parts{
        {{0, 2}, {2, 2}, {4, 4}, {8, 2}, {10, 2}, {12, 2}}};
    const QString pattern = dateTime != 0 ? FormatFieldPattern(dateTime) : QString();
    for (int i = 0; i < kGroupSize; ++i) {
        QString& field = fields.at(static_cast<size_t>(first + i));
        const auto [start, length] = parts.at(static_cast<size_t>(i));
        field = pattern.isEmpty() ? QString() : pattern.mid(start, length);
    }
}

void LoggerForm::ClearButtClick()
{
    for (QString& field : fields)
        field.clear();
    LogDataChanged = true;
}

void LoggerForm::NowButtClick(const QDateTime& now)
{
    CreateEditText(NowFillsOn ? kOnGroup : kOffGroup, DateTimeToDayNumber(now));
}

bool LoggerForm::OnDayEditKeyPress(QChar key)
{
    const bool accepted = key == kBackspace || key == kCarriageReturn || isAsciiDigit(key);
    if (accepted)
        LogDataChanged = true;
    return accepted;
}

bool LoggerForm::FrequencyEditKeyPress(QChar key)
{
    const QString& text = fields[Frequency];
    const QChar point = m_regional.decimalPoint;
    bool accepted = false;
    if (key == kBackspace || key == kCarriageReturn) {
        accepted = true;
    } else if (key == point) {
        accepted = !text.contains(point);
    } else if (isAsciiDigit(key)) {
        const qsizetype at = text.indexOf(point);
        accepted = at < 0 || at == text.size() - 1;
    }
    if (accepted)
        LogDataChanged = true;
    return accepted;
}

QString LoggerForm::checkGroup(int first, const QString& name, double& dateTime) const
{
    std::array<int, kGroupSize> values{};
    for (int i = 0; i < kGroupSize; ++i) {
        if (!readWholeNumber(fields.at(static_cast<size_t>(first + i)),
                             values.at(static_cast<size_t>(i))))
            return QStringLiteral("Error: %1 %2 value is not a number")
                .arg(name, valueNames().at(static_cast<size_t>(i)));
    }
    const auto [day, month, year, hour, minute, second] = values;
    const QString prefix = QStringLiteral("Error: %1 ").arg(name);
    if (day == 0)
        return prefix + QStringLiteral("Day value = 0");
    // Month 0 would pass the "> 12" test and count as a 31-day month, but no
    // date can be formed from it.
    if (month == 0)
        return prefix + QStringLiteral("Month value = 0");
    if (month > 12)
        return prefix + QStringLiteral("Month value > 12");
    if (year < 2002 || year > 2100)
        return prefix + QStringLiteral("Year value out of limits. [2002 - 2100]");
    // The day test counts every fourth year as a leap year; 2100 is not one,
    // so 29 February 2100 is refused here as well.
    if (!CheckMonthDays(day, month, year) || !QDate::isValid(year, month, day))
        return prefix + QStringLiteral("Day value does not match Month/Year");
    if (hour > 23)
        return prefix + QStringLiteral("Hour value > 23");
    if (minute > 59)
        return prefix + QStringLiteral("Minute value > 59");
    if (second > 59)
        return prefix + QStringLiteral("Second value > 59");
    dateTime = EncodeDayNumber(year, month, day, hour, minute, second).value_or(0);
    return {};
}

QString LoggerForm::CheckTheLogData()
{
    LogDataValid = false;
    LoggerOnTime = 0;
    LoggerOffTime = 0;
    LoggerFrequency = 0;

    const auto filled = std::count_if(fields.begin(), fields.begin() + Frequency,
                                      [](const QString& field) { return !field.isEmpty(); });
    // An all-empty window means that no schedule is set.
    if (filled == 0)
        return {};
    if (filled != 2 * kGroupSize)
        return QStringLiteral("Error: Times need completing");

    if (QString error = checkGroup(OnDay, QStringLiteral("ON"), LoggerOnTime); !error.isEmpty())
        return error;
    if (QString error = checkGroup(OffDay, QStringLiteral("OFF"), LoggerOffTime); !error.isEmpty())
        return error;

    const QString& frequency = fields[Frequency];
    const QChar point = m_regional.decimalPoint;
    if (frequency.isEmpty() || frequency == point)
        return QStringLiteral("Error: Missing frequency");
    bool ok = false;
    const double value = isFrequencyText(frequency, point) ? StrToFloatOk(frequency, &ok) : 0.0;
    if (!ok)
        return QStringLiteral("Error: Frequency value is not a number");
    LoggerFrequency = value;
    if (LoggerFrequency == 0)
        return QStringLiteral("Error: Frequency = 0");
    LogDataValid = true;
    return {};
}
