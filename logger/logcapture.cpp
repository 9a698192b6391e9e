// The input logger: the two switches, the start and end of a run, the capture
// step after every input read, and saving the log.
#include "logger/logcapture.h"

#include "common/clock.h"
#include "common/daynumber.h"
#include "common/regional.h"
#include "controller/relay.h"
#include "common/textlines.h"

#include <cmath>
#include <limits>

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

// The question before a new run clears the lines of the last one; false when
// the click ends here.
bool askToSaveLog(Controller& core)
{
    if (core.LogList.isEmpty())
        return true;
    switch (core.view().confirm(QStringLiteral("Log data available in memory.\r\rSave?"),
                                View::Buttons::YesNoCancel, View::Answer::Cancel)) {
    case View::Answer::Cancel:
        return false;
    case View::Answer::Yes:
        // A failed write ends the click here, before the new run could
        // clear the lines that were not saved.
        core.SaveLogStep();
        break;
    default:
        break;
    }
    // The question and the save dialog run a nested loop in which the poll
    // cycle goes on; a board that fell silent meanwhile left the system idle,
    // and a run must not start outside the active state.
    if (!core.SystemActive) {
        core.view().showInformation(kNotActived);
        return false;
    }
    return true;
}

} // namespace

QString DecToBinary(int value, int width)
{
    QString text;
    text.reserve(2 * width);
    for (int bit = width - 1; bit >= 0; --bit) {
        text += QLatin1Char(' ');
        text += (value >> bit) & 1 ? QLatin1Char('1') : QLatin1Char('0');
    }
    return text;
}

int LogPeriodFor(double frequency)
{
    const double reads = std::trunc(frequency * kCapturesPerSecond);
    if (std::isnan(reads))
        return 0;
    if (reads >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (reads <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(reads);
}

void Controller::InputLogSBClick()
{
    if (LogNow) {
        m_view.showInformation(kLoggingActive);
        return;
    }
    if (LogOnTimer) {
        DeactivateLogging();
        return;
    }
    if (!SystemActive) {
        m_view.showInformation(kNotActived);
        return;
    }
    // The window's fields may hold edits that were never confirmed.
    const QString error = m_loggerForm.CheckTheLogData();
    if (!error.isEmpty() &&
        m_view.confirm(error + QStringLiteral("\r\rContinue without Log data?"),
                       View::Buttons::YesNo, View::Answer::No) != View::Answer::Yes)
        return;
    if (!m_loggerForm.LogDataValid) {
        m_view.showInformation(kNoLogData);
        return;
    }
    if (!askToSaveLog(*this))
        return;
    InitiateLogging(LogRun::OnTimer);
    m_view.setLamp(View::Lamp::LogTimer, true);
    m_view.setLamp(View::Lamp::LogNow, false);
    LogOnTimer = true;
}

void Controller::InputNowSBClick()
{
    if (LogNow) {
        DeactivateLogging();
        return;
    }
    if (!SystemActive) {
        m_view.showInformation(kNotActived);
        return;
    }
    if (LogOnTimer) {
        m_view.showInformation(kLoggingActive);
        return;
    }
    // The result of the last check decides; the fields are not read again.
    if (!m_loggerForm.LogDataValid) {
        m_view.showInformation(kNoLogData);
        return;
    }
    if (!askToSaveLog(*this))
        return;
    InitiateLogging(LogRun::Now);
    m_view.setLamp(View::Lamp::LogNow, true);
    m_view.setLamp(View::Lamp::LogTimer, false);
    LogNow = true;
}

void Controller::InitiateLogging(LogRun run)
{
    LogList.clear();
    LogCount = 0;
    LogTickCount = 0;
    LogLedOn = false;

    const bool now = run == LogRun::Now;
    const double start = now ? DateTimeToDayNumber(m_clock.now()) : LogOnTime;
    LogList.append(now ? QStringLiteral("Log Now initiated")
                       : QStringLiteral("Log on Timer initiated"));
    LogList.append(QStringLiteral("Log Start Time:  ") + DateTimeText(start));
    LogList.append(QStringLiteral("Frequency = ") + FrequencyText(m_loggerForm.LoggerFrequency));
    LogList.append(QStringLiteral(
        "Input [6 5 4 3 2 1]  Output [16 15 14 13 12 11 10 09 08 07 06 05 04 03 02 01]"));
    LogList.append(QString());
    LogList.append(QStringLiteral("LogCount    Time            Input           Relay"));
    LogList.append(QString());

    m_view.setCountLabel(QStringLiteral("Count: ") + countText(0));
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Logging activated"));
    // The copy of the last run's lines goes with them: the user was asked
    // about them before this run could start.
    if (!m_logRecovery.begin(LogList))
        m_view.setStatusText(View::Panel::Message, kNoSafetyCopy);
}

void Controller::DeactivateLogging()
{
    if ((LogOnTimer || LogNow) && !LogList.isEmpty()) {
        appendLogLine(QString());
        appendLogLine(QStringLiteral("Log Finish Time:  ") + DateTimeText(LogOffTime));
    }
    LogNow = false;
    LogOnTimer = false;
    m_view.setLamp(View::Lamp::LogTimer, false);
    m_view.setLamp(View::Lamp::LogNow, false);
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Logging deactivated"));
    LogLedOn = false;
    m_view.setLamp(View::Lamp::Activity, false);
}

void Controller::LogTheData()
{
    if (!LogOnTimer && !LogNow)
        return;
    const QDateTime now = m_clock.now();
    if (!LogNow) {
        const double day = DateTimeToDayNumber(now);
        if (day < LogOnTime || day >= LogOffTime) {
            DeactivateLogging();
            return;
        }
    }
    // A period of 0 or less never comes round: the run writes no data line.
    if (LogPeriodTicks <= 0 || ++LogTickCount != LogPeriodTicks)
        return;
    LogTickCount = 0;

    const QString count = countText(LogCount);
    m_view.setCountLabel(QStringLiteral("Count: ") + count);
    const QString gap(4, QLatin1Char(' '));
    appendLogLine(count + gap + LongTimeText(now.time()) + gap + DecToBinary(PortIn, 6) + gap +
                  DecToBinary(PortOut, 16));
    ++LogCount;

    LogLedOn = !LogLedOn;
    m_view.setLamp(View::Lamp::Activity, LogLedOn);
}

void Controller::LogSaveButtClick()
{
    if (SystemActive)
        return;
    if (LogList.isEmpty()) {
        m_view.showInformation(QStringLiteral("No log data in memory"));
        return;
    }
    SaveLogStep();
}

void Controller::SaveLogStep()
{
    const QString path = m_view.chooseFile(View::FileDialog::SaveLog);
    if (path.isEmpty())
        return;
    // Throws "Cannot create file" and leaves LogList as it was.
    WriteTextLines(path, LogList);
    LogList.clear();
    m_logRecovery.remove();
}

// A line of the running log, in memory and in its safety copy. A copy that
// cannot be written is said once on the message line; the run goes on.
void Controller::appendLogLine(const QString& line)
{
    LogList.append(line);
    if (!m_logRecovery.append(line))
        m_view.setStatusText(View::Panel::Message, kNoSafetyCopy);
}

// Start-up: the copy of a run that never reached a save comes back into
// LogList, where the Save button, the next run's question and the close
// query find it as the lines of a finished run. The copy stays on disk until
// those lines are saved or a No to one of those questions drops them.
void Controller::offerInterruptedLog()
{
    std::optional<LogRecovery::LeftBehind> copy = m_logRecovery.takeOver();
    if (!copy)
        return;
    LogList = std::move(copy->lines);
    const QString text =
        QStringLiteral("A log run was interrupted.\r\r%1 lines, last written %2.\r\rSave it now?")
            .arg(LogList.size())
            .arg(DateTimeText(DateTimeToDayNumber(copy->lastWritten)));
    if (m_view.confirm(text, View::Buttons::YesNo, View::Answer::No) == View::Answer::Yes)
        SaveLogStep();
}

void Controller::LogEditButtClick()
{
    if (SystemActive)
        return;
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Logging OFF"));
    if (m_view.showLoggerWindow()) {
        LogOnTime = m_loggerForm.LoggerOnTime;
        LogOffTime = m_loggerForm.LoggerOffTime;
        LogFrequency = m_loggerForm.LoggerFrequency;
        LogPeriodTicks = LogPeriodFor(LogFrequency);
        if (m_loggerForm.LogDataChanged)
            ++ChangeCount;
    }
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Ready"));
}
