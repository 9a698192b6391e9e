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
        rig.core.TimerList = records;
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
        EXPECT_EQ(rig.core.TimerList, records);
    }
}
