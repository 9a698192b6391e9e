// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/view.h"
#include "logger/logcapture.h"
#include "logger/loggerform.h"
#include "logger/logrecovery.h"

#include <QString>
#include <QStringList>

#include <functional>

class Clock;
struct Regional;

// The input logger: the time window and the interval of its runs, the two
// switches (Log on Timer, Log Now), the run's lines in LogList with their
// safety copy, the capture after every input read, and saving the log. The
// log lines and the logger window's fields follow the regional formats it is
// given.
class LogRecorder
{
public:
    // systemActive tells whether the poll cycle runs; it is asked again
    // after every question, whose nested loop may have stopped the cycle.
    LogRecorder(View& view, const Clock& clock, const Regional& regional,
                std::function<bool()> systemActive)
        : m_view(view), m_clock(clock), m_regional(regional),
          m_systemActive(std::move(systemActive)), m_loggerForm(regional)
    {
    }
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;

    [[nodiscard]] bool LogOnTimer() const { return m_logOnTimer; }
    [[nodiscard]] bool LogNow() const { return m_logNow; }
    [[nodiscard]] bool LogLedOn() const { return m_logLedOn; }
    [[nodiscard]] const QStringList& LogList() const { return m_logList; }
    [[nodiscard]] double LogOnTime() const { return m_logOnTime; }
    [[nodiscard]] double LogOffTime() const { return m_logOffTime; }
    [[nodiscard]] double LogFrequency() const { return m_logFrequency; }
    [[nodiscard]] int LogPeriodTicks() const { return m_logPeriodTicks; }
    [[nodiscard]] int LogTickCount() const { return m_logTickCount; }
    [[nodiscard]] int LogCount() const { return m_logCount; }
    // The logger window's form object.
    [[nodiscard]] LoggerForm& loggerForm() { return m_loggerForm; }
    // The safety copy of the run's lines.
    [[nodiscard]] LogRecovery& logRecovery() { return m_logRecovery; }
    // Called with every line a run puts in LogList, as it is captured: the
    // header lines of InitiateLogging first, then each data line and the
    // closing lines.
    void setLineHook(std::function<void(const QString& line)> hook)
    {
        m_lineHook = std::move(hook);
    }

    void InputLogSBClick();
    void InputNowSBClick();
    void InitiateLogging(LogRun run);
    void DeactivateLogging();
    // The capture step after an input read, with the words just read and
    // written.
    void LogTheData(int portIn, int portOut);
    void LogSaveButtClick();
    // The logger window on the time window; true when the user changed it.
    [[nodiscard]] bool LogEditButtClick();
    // The log save step: the save dialog, then the write that empties LogList.
    // False when the dialog was cancelled: LogList and its copy stay.
    bool SaveLogStep();

    // Start-up: no time window yet.
    void clearTimes();
    // Start-up: both switches off; lamps and lines stay as they are.
    void switchOff();
    // The lines of a finished run, kept for the Save button and the
    // questions.
    void setLogList(const QStringList& lines) { m_logList = lines; }
    // Start-up: the copy of a run that never reached a save is offered.
    void offerInterruptedLog();
    // A project's time window and interval, into the logger window's fields
    // too; a window that does not pass the check goes, with a message.
    void loadTimes(double onTime, double offTime, double frequency);
    // The close query's question about unsaved lines; false when the
    // window must stay open.
    [[nodiscard]] bool closeQuery();

private:
    // The question before a new run clears the lines of the last one; false
    // when the click ends here.
    [[nodiscard]] bool askToSaveLog();
    void startRun(LogRun run);
    void appendLogLine(const QString& line);

    View& m_view;
    const Clock& m_clock;
    const Regional& m_regional;
    std::function<bool()> m_systemActive;
    LoggerForm m_loggerForm;
    LogRecovery m_logRecovery;
    std::function<void(const QString& line)> m_lineHook;

    bool m_logOnTimer = false;
    bool m_logNow = false;
    bool m_logLedOn = false;
    QStringList m_logList;
    double m_logOnTime = 0;
    double m_logOffTime = 0;
    double m_logFrequency = 0;
    int m_logPeriodTicks = 0;
    int m_logTickCount = 0;
    int m_logCount = 0;
};
