// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/rig.h"
#include "support/timezone.h"
#include "timers/chanform.h"
#include "timertest.h"

#include <gtest/gtest.h>

namespace {

// The six fields of a group as "dd mm yyyy hh mm ss".
QString group(const ChanForm& form, int firstTag)
{
    QStringList parts;
    for (int i = 0; i < 6; ++i)
        parts.append(form.TimeEdits.at(static_cast<size_t>(firstTag + i)));
    return parts.join(QLatin1Char(' '));
}

} // namespace

// Day numbers are wall time: a record whose ON or OFF falls in the hour the
// local clocks skip is an ordinary record, shown and kept as it is.
TEST(TimerEditorUnderDaylightSaving, ARecordInTheSkippedHourIsShownAndKept)
{
    for (const SkippedWallTime& skipped : skippedWallTimes()) {
        SCOPED_TRACE(skipped.zone.toStdString());
        const ScopedTimeZone zone(skipped.zone);
        ASSERT_TRUE(isSkipped(skipped));
        const QDateTime on(skipped.date, skipped.time, QTimeZone::utc());
        const QStringList records =
            dateRecord("05", on, on.addSecs(3600)) + dateRecord("06", on.addSecs(-3600), on);
        Rig rig;
        ChanForm& form = rig.core.chanForm();
        rig.startUp();
        rig.view.boxes.clear();
        rig.core.timers().setTimerList(records);
        QStringList shown;
        rig.view.onTimerEditor = [&] {
            form.FormActivate();
            shown.append(group(form, ChanForm::kOnDayTag));
            form.NextButtClick();
            shown.append(group(form, ChanForm::kOffGroupTag));
            form.FormClose();
            return true;
        };
        rig.core.OutEditButtClick();

        const QString dayText = skipped.date.toString(QStringLiteral("dd MM yyyy "));
        const QString skippedText = dayText + skipped.time.toString(QStringLiteral("HH mm ss"));
        EXPECT_EQ(shown, QStringList({skippedText, skippedText}));
        EXPECT_TRUE(rig.view.boxTexts().isEmpty());
        EXPECT_EQ(rig.core.timers().TimerList(), records);
    }
}

namespace {

// The next change after the start of 2026 at which the zone's clocks go
// back, as the instant of the change.
QDateTime fallBack(const QTimeZone& zone)
{
    QDateTime from(QDate(2026, 1, 1), QTime(0, 0), QTimeZone::utc());
    for (int i = 0; i < 4; ++i) {
        const QTimeZone::OffsetData change = zone.nextTransition(from);
        if (!change.atUtc.isValid())
            break;
        if (change.offsetFromUtc < zone.offsetFromUtc(change.atUtc.addSecs(-1)))
            return change.atUtc;
        from = change.atUtc;
    }
    return {};
}

} // namespace

// When daylight saving ends the local clock goes back (by half an hour on
// Lord Howe Island) and shows the same wall times again: a date-mode window
// in that time opens once, on the injected clock running in local time as
// the system clock does.
TEST(TimersUnderDaylightSaving, AWindowInTheRepeatedHourOpensOnce)
{
    for (const SkippedWallTime& skipped : skippedWallTimes()) {
        SCOPED_TRACE(skipped.zone.toStdString());
        const ScopedTimeZone zone(skipped.zone);
        ASSERT_TRUE(isSkipped(skipped));
        const QTimeZone local(skipped.zone);
        const QDateTime change = fallBack(local);
        ASSERT_TRUE(change.isValid());
        const int step = local.offsetFromUtc(change.addSecs(-1)) - local.offsetFromUtc(change);
        ASSERT_GT(step, 20 * 60);
        // The wall time at the change, on the clock before it went back.
        const QDateTime wallAtChange = QDateTime(change.date(), change.time(), QTimeZone::utc())
                                           .addSecs(local.offsetFromUtc(change.addSecs(-1)));

        Rig rig;
        rig.startUp();
        rig.view.boxes.clear();
        rig.link.autoReply = true;
        rig.core.timers().setTimerList(
            dateRecord("05", wallAtChange.addSecs(-20 * 60), wallAtChange.addSecs(-10 * 60)));
        rig.core.TimerSBClick();
        rig.core.ActiveButtClick();
        // From `from` on, 3 s of poll cycles; the relay command of the last.
        const auto relayAfter = [&rig](const QDateTime& from) {
            rig.clock.set(from.toLocalTime());
            for (int i = 0; i < 30; ++i) {
                rig.tick();
                rig.link.deliver();
                rig.clock.advanceMs(100);
            }
            for (qsizetype i = rig.link.written.size() - 1; i >= 0; --i) {
                if (rig.link.written.at(i).startsWith('R'))
                    return rig.link.written.at(i);
            }
            return QByteArray();
        };
        EXPECT_EQ(relayAfter(change.addSecs(-20 * 60 - 1)), QByteArray("R0010\r"));
        EXPECT_EQ(relayAfter(change.addSecs(-10 * 60 - 1)), QByteArray("R0000\r"));
        // The clock goes back during these cycles.
        EXPECT_EQ(relayAfter(change.addSecs(-1)), QByteArray("R0000\r"));
        EXPECT_LT(dayNumber(rig.clock.now()), dayNumber(wallAtChange));
        EXPECT_EQ(relayAfter(change.addSecs(step - 20 * 60 - 1)), QByteArray("R0000\r"));
        EXPECT_EQ(relayAfter(change.addSecs(step - 15 * 60)), QByteArray("R0000\r"));
        EXPECT_TRUE(rig.view.boxes.isEmpty());
    }
}
