// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Where the last-run file "v217.dat" lives. The close query writes it beside
// the program; when the program's folder cannot be written (an installed
// copy), into the user's configuration folder instead, so closing never
// fails for it. Both folders can be set, so tests never touch the real ones.
class LastRunFolders
{
public:
    static inline const QString kFileName = QStringLiteral("v217.dat");

    // Empty: the folder of the program's executable.
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }
    // Empty: ConfigFolder() of common/folders.h.
    void setConfigFolder(const QString& folder) { m_configFolder = folder; }

    [[nodiscard]] QString programFolder() const;
    [[nodiscard]] QString configFolder() const;

    // The file to read at start-up, empty when there is none: the current
    // folder's, else the newer of the program folder's and the configuration
    // folder's (a program started from elsewhere still finds its last run).
    [[nodiscard]] QString findForReading() const;

    // The file start-up read, so that closing keeps it current too: a
    // program started from another folder than its own finds its last run
    // there next time.
    void setStartUpFile(const QString& path) { m_startUpFile = path; }

    // Writes the two lines into the program folder, else into the
    // configuration folder, and into the file start-up read when that is
    // another one; where that one cannot be written, into the configuration
    // folder instead. A link or another user's file is never written over.
    // Returns the path written in the program or configuration folder, empty
    // when neither could take the file. Never throws.
    QString write(const QStringList& lines) const;

private:
    QString m_programFolder;
    QString m_configFolder;
    QString m_startUpFile;
};
