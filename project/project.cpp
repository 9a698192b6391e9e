// The project file, the last-run file and the save questions.
#include "controller/relay.h"

#include "common/conversions.h"
#include "common/seriallink.h"
#include "common/textlines.h"
#include "project/projectfile.h"

#include <QFileInfo>

namespace {

const QString kStar = QStringLiteral("*");

} // namespace

void Controller::Save1Click()
{
    const QString path = m_view.chooseFile(View::FileDialog::SaveProject);
    if (path.isEmpty())
        return;
    ProjectContents contents;
    contents.LogOnTime = m_log.LogOnTime();
    contents.LogOffTime = m_log.LogOffTime();
    contents.LogFrequency = m_log.LogFrequency();
    contents.TimerList = m_timers.TimerList();
    contents.RulesList = m_rules.RulesList();
    // Throws "Cannot create file" before anything below has changed; the
    // earlier file stays whole because the write replaces it only when done.
    WriteTextLines(path, ProjectFileLines(contents));
    ProjectFileName = path;
    m_view.setCaption(kCaption + QStringLiteral("<") + QFileInfo(path).fileName() +
                      QStringLiteral(">"));
    ChangeCount = 0;
}

void Controller::Load1Click()
{
    if (ChangeCount != 0) {
        const View::Answer answer =
            m_view.confirm(QStringLiteral("Time/Rule parameters have changed.\r\rSave?"),
                           View::Buttons::YesNoCancel, View::Answer::Cancel);
        if (answer == View::Answer::Cancel)
            return;
        if (answer == View::Answer::Yes)
            Save1Click();
    }
    const QString path = m_view.chooseFile(View::FileDialog::OpenProject);
    if (path.isEmpty())
        return;
    OpenTheProjectFile(path);
}

void Controller::OpenTheProjectFile(const QString& path)
{
    QString caption = kCaption;
    m_rules.setRulesList({});
    m_timers.clearLists();
    ProjectFileName.clear();

    // A file that is missing, unreadable or not a project loads as an empty
    // project without a message.
    std::optional<ProjectContents> contents;
    try {
        contents = ParseProjectLines(ReadTextLines(path));
    } catch (const V217Error&) {
        contents.reset();
    }
    double onTime = 0;
    double offTime = 0;
    double frequency = 0;
    if (contents) {
        onTime = contents->LogOnTime;
        offTime = contents->LogOffTime;
        frequency = contents->LogFrequency;
        if (contents->HasSections) {
            m_timers.setTimerList(contents->TimerList);
            m_rules.setRulesList(contents->RulesList);
            caption =
                kCaption + QStringLiteral(" <") + QFileInfo(path).fileName() + QStringLiteral(">");
            ProjectFileName = path;
        }
    }

    m_view.setCaption(caption);
    m_log.loadTimes(onTime, offTime, frequency);

    m_rules.checkLoadedRules();

    ChangeCount = 0;
}

void Controller::FormCloseQuery(bool& canClose)
{
    // Until the end the answer is "stay open": a save that fails part-way
    // ends this query with its failure box, and the unsaved data must not
    // go down with the window.
    canClose = false;
    if (ChangeCount != 0) {
        const View::Answer answer = m_view.confirm(
            QStringLiteral("Time/Rule parameters have changed.\r\rSave before closing?"),
            View::Buttons::YesNoCancel, View::Answer::Cancel);
        if (answer == View::Answer::Cancel)
            return;
        if (answer == View::Answer::Yes)
            Save1Click();
    }
    if (!m_log.closeQuery())
        return;
    const QString port = m_serial.Active() ? QString::number(m_serial.Port()) : kStar;
    m_lastRun.write({port, ProjectFileName.isEmpty() ? kStar : ProjectFileName});
    canClose = true;
}

// Start-up (first tick): the remembered port, then the remembered project.
// A file of any other length than two lines is ignored.
void Controller::readLastRunFile()
{
    const QString path = m_lastRun.findForReading();
    if (path.isEmpty())
        return;
    m_lastRun.setStartUpFile(QFileInfo(path).absoluteFilePath());
    const QStringList lines = ReadTextLines(path);
    if (lines.size() != 2)
        return;
    if (lines.at(0).size() == 1)
        OpenSerialPort(lines.at(0));
    OpenTheProjectFile(lines.at(1));
}
