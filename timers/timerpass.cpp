// SPDX-License-Identifier: GPL-3.0-or-later
#include "timers/timerpass.h"

#include "common/conversions.h"
#include "common/daynumber.h"
#include "timers/chantimer.h"

#include <cmath>

namespace {

using namespace chantimer;

// Each pass counts for this long, whatever time really passed: the poll
// cycle reaches the relay-write step on every second 100 ms tick.
constexpr double kPassSeconds = 0.2;

const QString kSet = QStringLiteral("1");
const QString kClear = QStringLiteral("0");

// A window that closes leaves "c" and the whole day number of the day it
// closed on in its Running line. The wall clock can step back (daylight
// saving ends, the clock is corrected): a date-mode window then never opens
// again in this activation, a daily one only on a later day. Any other text
// but "1" is a closed window that may open.
constexpr QChar kClosedOn = QLatin1Char('c');

QString closedOn(double T)
{
    return kClosedOn + QString::number(static_cast<qint64>(std::floor(T)));
}

bool latched(const QString& running, bool daily, double T)
{
    if (!running.startsWith(kClosedOn))
        return false;
    bool ok = false;
    const qint64 day = QStringView(running).mid(1).toLongLong(&ok);
    return ok && (!daily || std::floor(T) <= static_cast<double>(day));
}

} // namespace

int ExecuteTimerPass(QStringList& records, int& portOut, double T, QChar decimalPoint)
{
    if (records.size() % kRecordLines != 0)
        return -1;

    int W = portOut;
    int result = 0;
    const int today = DayOfWeek(T);
    const double timeOfDay = TimeOfDay(T);

    for (qsizetype first = 0; first < records.size(); first += kRecordLines) {
        const auto line = [&](Line n) -> QString& { return records[first + n]; };

        const int c = StrToIntDef(line(Channel), 0);
        if (c < 1 || c > 16)
            return -1;
        const int mask = 1 << (c - 1);

        const std::optional<double> on = ParseNumber(line(OnTime));
        const std::optional<double> off = ParseNumber(line(OffTime));
        if (!on || !off)
            return -1;
        const bool toggles = line(TogOn) != QLatin1String("0");
        // The toggle lengths are copied into TogCount at phase ends; a text
        // there that is no number would stop a later pass, so it stops this.
        std::optional<double> count;
        if (toggles) {
            count = ParseNumber(line(TogCount));
            if (!count || !ParseNumber(line(TogOn)) || !ParseNumber(line(TogOff)))
                return -1;
        }

        const QString& days = line(Days);
        const bool daily = IsDaily(days);
        const bool dayOn = DaySelected(days, today);

        if (line(Running) == kSet) {
            const bool closes = daily ? (dayOn && timeOfDay >= TimeOfDay(*off)) : (T >= *off);
            if (closes) {
                W &= ~mask;
                line(Running) = closedOn(T);
                line(TogState) = kClear;
                result = 1;
                continue;
            }
            if (!toggles)
                continue;
            const double left = *count - kPassSeconds;
            line(TogCount) = FormatGeneral(left, decimalPoint);
            if (left > 0)
                continue;
            if (line(TogState) == kSet) {
                W &= ~mask;
                line(TogState) = kClear;
                line(TogCount) = line(TogOff);
            } else {
                W |= mask;
                line(TogState) = kSet;
                line(TogCount) = line(TogOn);
            }
            result = 1;
        } else {
            const bool opens =
                daily ? (dayOn && timeOfDay >= TimeOfDay(*on) && timeOfDay <= TimeOfDay(*off))
                      : (T >= *on && T <= *off);
            if (opens && !latched(line(Running), daily, T)) {
                W |= mask;
                line(Running) = kSet;
                line(TogState) = kSet;
                result = 1;
            }
        }
    }
    portOut = W;
    return result;
}
