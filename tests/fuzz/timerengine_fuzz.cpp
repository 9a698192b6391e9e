// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the timer engine. The input chooses the clock (any day number
// of the years 1 to 9999, or one from 2002 on in 0.2 s steps), the relay word
// and a list of timer records as text lines, then runs passes 0.2 s apart. Each pass must return
// -1, 0 or 1, keep the relay word to 16 bits, leave it alone on -1 and on
// 0, keep the list's length and never touch a record's settings (lines 0 to
// 5), only its run-time lines.
#include "fuzzinput.h"
#include "timers/timerpass.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr double kTickDays = 0.2 / 86400.0;
// 1 January 0001 and 1 January 10000 as day numbers.
constexpr double kFirstDay = -693593.0;
constexpr double kLastDay = 2958466.0;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t mode = input.byte();
    double T = 0;
    if (mode & 1) {
        // Any day number a clock can show: years 1 to 9999, to the bit.
        // (Beyond them DayOfWeek's conversion to an integer overflows; the
        // clock never goes there.)
        const QByteArray raw = input.bytes(sizeof T).leftJustified(sizeof T, '\0');
        std::memcpy(&T, raw.constData(), sizeof T);
        if (!std::isfinite(T) || T < kFirstDay || T >= kLastDay)
            return 0;
    } else {
        // 1 January 2002 plus up to about 180 years, in 0.2 s steps.
        const quint32 steps =
            static_cast<quint32>(input.word()) << 16 | static_cast<quint32>(input.word());
        T = 37257.0 + steps * kTickDays * 1000.0;
    }
    int portOut = input.word();
    const int passes = 1 + (mode >> 1) % 32;
    QStringList records = QString::fromLatin1(input.rest()).split(QLatin1Char('\n'));

    for (int pass = 0; pass < passes; ++pass) {
        const QStringList before = records;
        const int portBefore = portOut;
        const int result = ExecuteTimerPass(records, portOut, T, u'.');
        FUZZ_CHECK(result == -1 || result == 0 || result == 1);
        FUZZ_CHECK(portOut >= 0 && portOut <= 0xFFFF);
        FUZZ_CHECK(records.size() == before.size());
        if (result != 1)
            FUZZ_CHECK(portOut == portBefore);
        for (qsizetype line = 0; line < records.size(); ++line) {
            if (line % 9 < 6)
                FUZZ_CHECK(records.at(line) == before.at(line));
        }
        if (result == -1)
            break;
        T += kTickDays;
    }
    return 0;
}
