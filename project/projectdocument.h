// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/view.h"
#include "project/lastrun.h"
#include "project/projectfile.h"

#include <QString>
#include <QStringList>

#include <functional>

class SerialLink;
struct Regional;

// What the project file holds of the other parts, and how a load hands it
// back to them. The owner of the parts fills in every entry.
struct ProjectParts
{
    // The values a save writes: the logger's time window and interval, the
    // timer records and the rules.
    std::function<ProjectContents()> contents;
    // A load empties the rules and the timer lists before it reads the file.
    std::function<void()> clearLists;
    // The lists of a file that has both sections, taken as they are.
    std::function<void(const QStringList& timers, const QStringList& rules)> setLists;
    // The logger's time window and interval, zero when the file had none.
    std::function<void(double onTime, double offTime, double frequency)> loadTimes;
    // After a load: the rules checker on the loaded rules.
    std::function<void()> checkLoadedRules;
    // The close query's question about unsaved log lines; false when the
    // window must stay open.
    std::function<bool()> logCloseQuery;
    // Start-up: the port the last-run file remembers.
    std::function<void(const QString& text)> openSerialPort;
};

// The project: the file it was loaded from or saved to, the count of
// parameter edits since then, load and save, the save questions of the
// close query, and the last-run file that remembers port and project. The
// numbers it saves carry the decimal separator of the regional formats it is
// given.
class ProjectDocument
{
public:
    // caption is the window caption the file's name is added to.
    ProjectDocument(View& view, const SerialLink& serial, const Regional& regional, QString caption,
                    ProjectParts parts)
        : m_view(view), m_serial(serial), m_regional(regional), m_caption(std::move(caption)),
          m_parts(std::move(parts))
    {
    }
    ProjectDocument(const ProjectDocument&) = delete;
    ProjectDocument& operator=(const ProjectDocument&) = delete;

    [[nodiscard]] const QString& ProjectFileName() const { return m_projectFileName; }
    [[nodiscard]] int ChangeCount() const { return m_changeCount; }
    // Where the close query writes the last-run file and start-up looks for it.
    [[nodiscard]] LastRunFolders& lastRunFolders() { return m_lastRun; }

    void Save1Click();
    void Load1Click();
    void OpenTheProjectFile(const QString& path);
    void FormCloseQuery(bool& canClose);
    // Start-up: the remembered port, then the remembered project.
    void readLastRunFile();

    // An editor closed with OK on changed data.
    void noteChange() { ++m_changeCount; }
    void setChangeCount(int count) { m_changeCount = count; }
    void setProjectFileName(const QString& path) { m_projectFileName = path; }

private:
    View& m_view;
    const SerialLink& m_serial;
    const Regional& m_regional;
    const QString m_caption;
    const ProjectParts m_parts;
    LastRunFolders m_lastRun;
    QString m_projectFileName;
    int m_changeCount = 0;
};
