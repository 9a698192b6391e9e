// SPDX-License-Identifier: GPL-3.0-or-later
// The input logger: the two switches, the start and end of a run, the capture
// step after every input read, and saving the log.
#include "logger/logrecorder.h"

#include "common/clock.h"
#include "common/daynumber.h"
#include "common/regional.h"
#include "common/textlines.h"

namespace {

const QString kLoggingActive = QStringLiteral("Logging active");
const QString kNotActived = QStringLiteral("System not actived");
const QString kNoLogData = QStringLiteral("Log data not available");
const QString kNoSafetyCopy = QStringLiteral("Log safety copy failed");

// LogCount right-aligned in 8 characters; a longer number is not cut.
QString countText(int count)
{
    return QString::number(count).rightJustified(8, QLatin1Char(' '));
}

} // namespace

void LogRecorder::InputLogSBClick()
{
    if (m_logNow) {
        m_view.showInformation(kLoggingActive);
        return;
    }
    if (m_logOnTimer) {
        DeactivateLogging();
        return;
    }
    if (!m_systemActive()) {
        m_view.showInformation(kNotActived);
        return;
    }
    // The window's fields may hold edits that were never confirmed.
    const QString error = m_loggerForm.CheckTheLogData();
    if (!error.isEmpty() &&
        m_view.confirm(error + QStringLiteral("\r\rContinue without Log data?"),
                       View::Buttons::YesNo, View::Answer::No) != View::Answer::Yes)
        return;
    startRun(LogRun::OnTimer);
}

void LogRecorder::InputNowSBClick()
{
    if (m_logNow) {
        DeactivateLogging();
        return;
    }
    if (!m_systemActive()) {
        m_view.showInformation(kNotActived);
        return;
    }
    if (m_logOnTimer) {
        m_view.showInformation(kLoggingActive);
        return;
    }
    // The result of the last check decides; the fields are not read again.
    startRun(LogRun::Now);
}

// The common end of both switches: a run needs valid log data, and the
// lines of an earlier run are offered for saving first.
void LogRecorder::startRun(LogRun run)
{
    if (!m_loggerForm.LogDataValid) {
        m_view.showInformation(kNoLogData);
        return;
    }
    if (!askToSaveLog())
        return;
    InitiateLogging(run);
    const bool onTimer = run == LogRun::OnTimer;
    m_view.setLamp(View::Lamp::LogTimer, onTimer);
    m_view.setLamp(View::Lamp::LogNow, !onTimer);
    (onTimer ? m_logOnTimer : m_logNow) = true;
}

void LogRecorder::InitiateLogging(LogRun run)
{
    m_logList.clear();
    m_logCount = 0;
    m_logTickCount = 0;
    m_logLedOn = false;

    const bool now = run == LogRun::Now;
    const double start = now ? DateTimeToDayNumber(m_clock.now()) : m_logOnTime;
    m_logList.append(now ? QStringLiteral("Log Now initiated")
                         : QStringLiteral("Log on Timer initiated"));
    m_logList.append(QStringLiteral("Log Start Time:  ") + DateTimeText(start, m_regional));
    m_logList.append(QStringLiteral("Frequency = ") +
                     FrequencyText(m_loggerForm.LoggerFrequency, m_regional.decimalPoint));
    m_logList.append(QStringLiteral(
        "Input [6 5 4 3 2 1]  Output [16 15 14 13 12 11 10 09 08 07 06 05 04 03 02 01]"));
    m_logList.append(QString());
    m_logList.append(QStringLiteral("LogCount    Time            Input           Relay"));
    m_logList.append(QString());

    if (m_lineHook) {
        for (const QString& line : std::as_const(m_logList))
            m_lineHook(line);
    }

    m_view.setCountLabel(QStringLiteral("Count: ") + countText(0));
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Logging activated"));
    // The copy of the last run's lines goes with them: the user was asked
    // about them before this run could start.
    if (!m_logRecovery.begin(m_logList))
        m_view.setStatusText(View::Panel::Message, kNoSafetyCopy);
}

void LogRecorder::DeactivateLogging()
{
    if ((m_logOnTimer || m_logNow) && !m_logList.isEmpty()) {
        appendLogLine(QString());
        appendLogLine(QStringLiteral("Log Finish Time:  ") +
                      DateTimeText(m_logOffTime, m_regional));
    }
    m_logNow = false;
    m_logOnTimer = false;
    m_view.setLamp(View::Lamp::LogTimer, false);
    m_view.setLamp(View::Lamp::LogNow, false);
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Logging deactivated"));
    m_logLedOn = false;
    m_view.setLamp(View::Lamp::Activity, false);
}

void LogRecorder::LogTheData(int portIn, int portOut)
{
    if (!m_logOnTimer && !m_logNow)
        return;
    const QDateTime now = m_clock.now();
    if (!m_logNow) {
        const double day = DateTimeToDayNumber(now);
        if (day < m_logOnTime || day >= m_logOffTime) {
            DeactivateLogging();
            return;
        }
    }
    // A period of 0 or less never comes round: the run writes no data line.
    if (m_logPeriodTicks <= 0 || ++m_logTickCount != m_logPeriodTicks)
        return;
    m_logTickCount = 0;

    const QString count = countText(m_logCount);
    m_view.setCountLabel(QStringLiteral("Count: ") + count);
    const QString gap(4, QLatin1Char(' '));
    appendLogLine(count + gap + LongTimeText(now.time(), m_regional) + gap +
                  DecToBinary(portIn, 6) + gap + DecToBinary(portOut, 16));
    ++m_logCount;

    m_logLedOn = !m_logLedOn;
    m_view.setLamp(View::Lamp::Activity, m_logLedOn);
}

void LogRecorder::LogSaveButtClick()
{
    if (m_systemActive())
        return;
    if (m_logList.isEmpty()) {
        m_view.showInformation(QStringLiteral("No log data in memory"));
        return;
    }
    SaveLogStep();
}

bool LogRecorder::SaveLogStep()
{
    const QString path = m_view.chooseFile(View::FileDialog::SaveLog);
    if (path.isEmpty())
        return false;
    // Throws "Cannot create file" and leaves LogList as it was.
    WriteTextLines(path, m_logList);
    m_logList.clear();
    m_logRecovery.remove();
    return true;
}

// The question before a new run clears the lines of the last one.
bool LogRecorder::askToSaveLog()
{
    if (m_logList.isEmpty())
        return true;
    switch (m_view.confirm(QStringLiteral("Log data available in memory.\r\rSave?"),
                           View::Buttons::YesNoCancel, View::Answer::Cancel)) {
    case View::Answer::Cancel:
        return false;
    case View::Answer::Yes:
        // A failed write ends the click here, before the new run could
        // clear the lines that were not saved; so does a cancelled dialog,
        // which keeps them and their safety copy as Cancel would.
        if (!SaveLogStep())
            return false;
        break;
    default:
        break;
    }
    // The question and the save dialog run a nested loop in which the poll
    // cycle goes on; a board that fell silent meanwhile left the system idle,
    // and a run must not start outside the active state.
    if (!m_systemActive()) {
        m_view.showInformation(kNotActived);
        return false;
    }
    return true;
}

void LogRecorder::clearTimes()
{
    m_logOnTime = 0;
    m_logOffTime = 0;
    m_logFrequency = 0;
}

void LogRecorder::switchOff()
{
    m_logOnTimer = false;
    m_logNow = false;
}

void LogRecorder::loadTimes(double onTime, double offTime, double frequency)
{
    m_logOnTime = onTime;
    m_logOffTime = offTime;
    m_logFrequency = frequency;
    m_loggerForm.LoggerOnTime = m_logOnTime;
    m_loggerForm.LoggerOffTime = m_logOffTime;
    m_loggerForm.LoggerFrequency = m_logFrequency;
    m_loggerForm.SetLoggerEdits();
    // 5 input reads a second, as the logger window's confirmation uses: the
    // capture runs once per 0.2 s poll cycle.
    m_logPeriodTicks = LogPeriodFor(m_loggerForm.LoggerFrequency);
    if (!m_loggerForm.CheckTheLogData().isEmpty()) {
        clearTimes();
        m_loggerForm.LoggerOnTime = 0;
        m_loggerForm.LoggerOffTime = 0;
        m_loggerForm.LoggerFrequency = 0;
        m_loggerForm.ClearButtClick();
        m_loggerForm.LogDataChanged = false;
        m_view.showError(QStringLiteral("Found errors in Log Time data"));
    }
}

bool LogRecorder::closeQuery()
{
    if (m_logList.isEmpty())
        return true;
    const View::Answer answer =
        m_view.confirm(QStringLiteral("Log data available in memory.\r\rSave?"),
                       View::Buttons::YesNoCancel, View::Answer::Cancel);
    if (answer == View::Answer::Cancel)
        return false;
    if (answer == View::Answer::Yes)
        SaveLogStep();
    // The user dropped the lines. A Yes whose dialog was cancelled keeps
    // their copy for the next start.
    if (answer == View::Answer::No)
        m_logRecovery.remove();
    return true;
}

// A line of the running log, in memory and in its safety copy. A copy that
// cannot be written is said once on the message line; the run goes on.
void LogRecorder::appendLogLine(const QString& line)
{
    m_logList.append(line);
    if (m_lineHook)
        m_lineHook(line);
    if (!m_logRecovery.append(line))
        m_view.setStatusText(View::Panel::Message, kNoSafetyCopy);
}

// Start-up: the copy of a run that never reached a save comes back into
// LogList, where the Save button, the next run's question and the close
// query find it as the lines of a finished run. The copy stays on disk until
// those lines are saved or a No to one of those questions drops them.
void LogRecorder::offerInterruptedLog()
{
    std::optional<LogRecovery::LeftBehind> copy = m_logRecovery.takeOver();
    if (!copy)
        return;
    setLogList(copy->lines);
    const QString text =
        QStringLiteral("A log run was interrupted.\r\r%1 lines, last written %2.\r\rSave it now?")
            .arg(m_logList.size())
            .arg(DateTimeText(DateTimeToDayNumber(copy->lastWritten), m_regional));
    if (m_view.confirm(text, View::Buttons::YesNo, View::Answer::No) == View::Answer::Yes)
        SaveLogStep();
}

bool LogRecorder::LogEditButtClick()
{
    bool changed = false;
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Logging OFF"));
    if (m_view.showLoggerWindow()) {
        m_logOnTime = m_loggerForm.LoggerOnTime;
        m_logOffTime = m_loggerForm.LoggerOffTime;
        m_logFrequency = m_loggerForm.LoggerFrequency;
        m_logPeriodTicks = LogPeriodFor(m_logFrequency);
        changed = m_loggerForm.LogDataChanged;
    }
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Ready"));
    return changed;
}
