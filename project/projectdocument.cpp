// SPDX-License-Identifier: GPL-3.0-or-later
#include "project/projectdocument.h"

#include "common/conversions.h"
#include "common/regional.h"
#include "common/seriallink.h"
#include "common/textlines.h"
#include "project/projectfile.h"

#include <QFileInfo>

namespace {

const QString kStar = QStringLiteral("*");

} // namespace

void ProjectDocument::Save1Click()
{
    const QString path = m_view.chooseFile(View::FileDialog::SaveProject);
    if (path.isEmpty())
        return;
    const ProjectContents contents = m_parts.contents();
    // Throws "Cannot create file" before anything below has changed; the
    // earlier file stays whole because the write replaces it only when done.
    WriteTextLines(path, ProjectFileLines(contents, m_regional.decimalPoint));
    m_projectFileName = path;
    m_view.setCaption(m_caption + QStringLiteral("<") + QFileInfo(path).fileName() +
                      QStringLiteral(">"));
    m_changeCount = 0;
}

void ProjectDocument::Load1Click()
{
    if (m_changeCount != 0) {
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

void ProjectDocument::OpenTheProjectFile(const QString& path)
{
    QString caption = m_caption;
    m_parts.clearLists();
    m_projectFileName.clear();

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
            m_parts.setLists(contents->TimerList, contents->RulesList);
            caption =
                m_caption + QStringLiteral(" <") + QFileInfo(path).fileName() + QStringLiteral(">");
            m_projectFileName = path;
        }
    }

    m_view.setCaption(caption);
    m_parts.loadTimes(onTime, offTime, frequency);

    m_parts.checkLoadedRules();

    m_changeCount = 0;
}

void ProjectDocument::FormCloseQuery(bool& canClose)
{
    // Until the end the answer is "stay open": a save that fails part-way
    // ends this query with its failure box, and the unsaved data must not
    // go down with the window.
    canClose = false;
    if (m_changeCount != 0) {
        const View::Answer answer = m_view.confirm(
            QStringLiteral("Time/Rule parameters have changed.\r\rSave before closing?"),
            View::Buttons::YesNoCancel, View::Answer::Cancel);
        if (answer == View::Answer::Cancel)
            return;
        if (answer == View::Answer::Yes)
            Save1Click();
    }
    if (!m_parts.logCloseQuery())
        return;
    const QString port = m_serial.Active() ? QString::number(m_serial.Port()) : kStar;
    m_lastRun.write({port, m_projectFileName.isEmpty() ? kStar : m_projectFileName});
    canClose = true;
}

// A file of any other length than two lines is ignored.
void ProjectDocument::readLastRunFile()
{
    const QString path = m_lastRun.findForReading();
    if (path.isEmpty())
        return;
    m_lastRun.setStartUpFile(QFileInfo(path).absoluteFilePath());
    const QStringList lines = ReadTextLines(path);
    if (lines.size() != 2)
        return;
    if (lines.at(0).size() == 1)
        m_parts.openSerialPort(lines.at(0));
    OpenTheProjectFile(lines.at(1));
}
