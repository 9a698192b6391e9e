// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/daynumber.h"
#include "support/rig.h"

#include <QDateTime>

#include <functional>

// The logger window closes with OK after the fields were filled with on,
// off and frequency, as a user confirms a schedule through the logger Edit
// button; returns the check's error text.
inline QString ConfirmLogSchedule(Controller& core, FakeView& view, const QDateTime& on,
                                  const QDateTime& off, const QString& frequency)
{
    QString error;
    view.onLoggerWindow = [&] {
        LoggerForm& form = core.loggerForm();
        form.CreateEditText(LoggerForm::kOnGroup, DateTimeToDayNumber(on));
        form.CreateEditText(LoggerForm::kOffGroup, DateTimeToDayNumber(off));
        form.fields[LoggerForm::Frequency] = frequency;
        form.LogDataChanged = true;
        error = form.CheckTheLogData();
        return error.isEmpty();
    };
    core.LogEditButtClick();
    view.onLoggerWindow = nullptr;
    return error;
}

// A rig whose clock moves 100 ms with every tick, with the logger schedule
// confirmed through the logger Edit button as a user would.
struct LogRig : Rig
{
    // beforeStart sets up what the start-up finds, such as a safety copy
    // left behind and the answer to its offer.
    explicit LogRig(const std::function<void(LogRig&)>& beforeStart = {})
    {
        clock.set(QDateTime(QDate(2014, 7, 3), QTime(12, 0)));
        if (beforeStart)
            beforeStart(*this);
        startUp();
        view.boxes.clear();
    }

    QString confirmSchedule(const QDateTime& on, const QDateTime& off, const QString& frequency)
    {
        return ConfirmLogSchedule(core, view, on, off, frequency);
    }

    // Full poll cycles on the auto-replying board, the clock moving 100 ms
    // before every tick; each cycle ends with one capture.
    void timedCycles(int cycles)
    {
        link.autoReply = true;
        for (int i = 0; i < 2 * cycles; ++i) {
            clock.advanceMs(100);
            tick();
            link.deliver();
        }
    }

    // Activates and completes the first relay write, so the next tick reads
    // the inputs.
    void activate()
    {
        core.ActiveButtClick();
        link.autoReply = true;
        clock.advanceMs(100);
        tick();
        link.deliver();
    }

    // Deactivates through the Activate button and lets the closing sequence
    // finish.
    void deactivate()
    {
        core.ActiveButtClick();
        for (int i = 0; i < 6 && core.poll().SystemActive(); ++i) {
            clock.advanceMs(100);
            tick();
            link.deliver();
        }
    }

    [[nodiscard]] QDateTime at(int hour, int minute, int second) const
    {
        return QDateTime(QDate(2014, 7, 3), QTime(hour, minute, second));
    }
};
