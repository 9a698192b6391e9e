// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/textlines.h"
#include "support/rig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Every test gets its own folders: the current folder (where start-up looks
// first for the last-run file), the program folder and the configuration
// folder. The current folder is put back afterwards.
class ProjectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        for (const char* name : {"cwd", "program", "config", "files"})
            ASSERT_TRUE(QDir(root.path()).mkpath(QString::fromLatin1(name)));
        previous = QDir::currentPath();
        QDir::setCurrent(path(QStringLiteral("cwd")));
        useFolders(rig);
    }
    void TearDown() override { QDir::setCurrent(previous); }

    [[nodiscard]] QString path(const QString& name) const { return root.filePath(name); }
    [[nodiscard]] QString file(const QString& name) const
    {
        return root.filePath(QStringLiteral("files/") + name);
    }
    [[nodiscard]] static QString golden(const QString& name)
    {
        return QStringLiteral(V217_PROJECT_DATA "/") + name;
    }
    [[nodiscard]] static QByteArray bytes(const QString& filePath)
    {
        QFile f(filePath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void writeBytes(const QString& filePath, const QByteArray& data)
    {
        QFile f(filePath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    void useFolders(Rig& r) const
    {
        r.core.lastRunFolders().setProgramFolder(path(QStringLiteral("program")));
        r.core.lastRunFolders().setConfigFolder(path(QStringLiteral("config")));
    }

    // The controller holding the project of the golden file "twotimers.iom".
    static void fillTwoTimers(Controller& core)
    {
        core.logger().loadTimes(41823.0 + 17.5 / 24.0, // 3 July 2014 17:30:00
                                41823.75,              // 3 July 2014 18:00:00
                                1.5);
        core.timers().setTimerList(twoTimerRecords());
        core.rules().setRulesList(threeRules());
    }
    [[nodiscard]] static QStringList twoTimerRecords()
    {
        return {
            "05", "41823.7291666667", "41823.75",         "0",   "0", "0000000", "0", "0", "0",
            "12", "37257.3333333333", "37257.3541666667", "1.2", "1", "0100010", "0", "0", "1.2"};
    }
    [[nodiscard]] static QStringList threeRules()
    {
        return {"1H=01H", "1Hor2H=01H", "1Hand3L=01H02H03H04L"};
    }

    // Runs a handler as the main window does: a failure ends it with the box.
    template <typename Handler> void run(Handler&& handler) { rig.core.run(handler); }
    void save(const QString& to)
    {
        rig.view.files.push_back(to);
        run([this] { rig.core.Save1Click(); });
    }
    void load(const QString& from)
    {
        rig.view.files.push_back(from);
        run([this] { rig.core.Load1Click(); });
    }
    [[nodiscard]] bool closeQuery()
    {
        bool canClose = true;
        run([this, &canClose] { rig.core.FormCloseQuery(canClose); });
        return canClose;
    }
    [[nodiscard]] QString programLastRun() const
    {
        return path(QStringLiteral("program/v217.dat"));
    }
    [[nodiscard]] QString configLastRun() const { return path(QStringLiteral("config/v217.dat")); }

    QTemporaryDir root;
    QString previous;
    Rig rig;
};
