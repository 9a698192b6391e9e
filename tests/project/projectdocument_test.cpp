// SPDX-License-Identifier: GPL-3.0-or-later
// The project part on its own: a recording view, a scripted link and parts
// that note every call, no controller. Each test runs in folders of its own,
// the current folder included, where start-up looks first for the last-run
// file.
#include "common/regional.h"
#include "common/textlines.h"
#include "project/projectdocument.h"
#include "support/fakelink.h"
#include "support/fakeview.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString kCaption = u"Caption"_s;

class ProjectDocumentTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        project.lastRunFolders().setProgramFolder(root.filePath(u"program"_s));
        project.lastRunFolders().setConfigFolder(root.filePath(u"config"_s));
        for (const QString& name : {u"cwd"_s, u"program"_s})
            ASSERT_TRUE(QDir(root.path()).mkpath(name));
        previous = QDir::currentPath();
        QDir::setCurrent(file(u"cwd"_s));
    }
    void TearDown() override { QDir::setCurrent(previous); }

    [[nodiscard]] QString file(const QString& name) const { return root.filePath(name); }

    ProjectParts recordingParts()
    {
        ProjectParts parts;
        parts.contents = [this] {
            calls.append(u"contents"_s);
            return saved;
        };
        parts.clearLists = [this] { calls.append(u"clearLists"_s); };
        parts.setLists = [this](const QStringList& timers, const QStringList& rules) {
            calls.append(u"setLists"_s);
            loadedTimers = timers;
            loadedRules = rules;
        };
        parts.loadTimes = [this](double onTime, double offTime, double frequency) {
            calls.append(u"loadTimes %1 %2 %3"_s.arg(onTime).arg(offTime).arg(frequency));
        };
        parts.checkLoadedRules = [this] { calls.append(u"checkLoadedRules"_s); };
        parts.logCloseQuery = [this] {
            calls.append(u"logCloseQuery"_s);
            return logMayClose;
        };
        parts.openSerialPort = [this](const QString& text) {
            calls.append(u"openSerialPort "_s + text);
        };
        return parts;
    }

    QTemporaryDir root;
    QString previous;
    FakeView view;
    FakeLink link;
    QStringList calls;
    ProjectContents saved;
    QStringList loadedTimers;
    QStringList loadedRules;
    bool logMayClose = true;
    const Regional regional = Regional::fixed();
    ProjectDocument project{view, link, regional, kCaption, recordingParts()};
};

} // namespace

TEST_F(ProjectDocumentTest, StartsUnnamedAndUnchanged)
{
    EXPECT_TRUE(project.ProjectFileName().isEmpty());
    EXPECT_EQ(project.ChangeCount(), 0);
    project.noteChange();
    project.noteChange();
    EXPECT_EQ(project.ChangeCount(), 2);
    project.setChangeCount(0);
    EXPECT_EQ(project.ChangeCount(), 0);
}

TEST_F(ProjectDocumentTest, ASaveWritesThePartsAndNamesTheProject)
{
    saved.LogOnTime = 2;
    saved.LogOffTime = 3;
    saved.LogFrequency = 4;
    saved.TimerList = {u"timer"_s};
    saved.RulesList = {u"1H=01H"_s};
    project.noteChange();
    const QString target = file(u"saved.iom"_s);
    view.files.push_back(target);
    project.Save1Click();
    EXPECT_EQ(calls, QStringList{u"contents"_s});
    EXPECT_EQ(ReadTextLines(target), ProjectFileLines(saved, u'.'));
    EXPECT_EQ(project.ProjectFileName(), target);
    EXPECT_EQ(project.ChangeCount(), 0);
    EXPECT_EQ(view.caption, kCaption + u"<saved.iom>"_s);
}

TEST_F(ProjectDocumentTest, NoFileChosenSavesNothing)
{
    project.noteChange();
    project.Save1Click();
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_EQ(project.ChangeCount(), 1);
    EXPECT_TRUE(view.caption.isEmpty());
}

TEST_F(ProjectDocumentTest, ALoadHandsTheFileToTheParts)
{
    saved.LogOnTime = 2;
    saved.LogOffTime = 3;
    saved.LogFrequency = 4;
    saved.TimerList = {u"timer"_s};
    saved.RulesList = {u"1H=01H"_s};
    const QString source = file(u"source.iom"_s);
    WriteTextLines(source, ProjectFileLines(saved, u'.'));
    project.noteChange();
    project.OpenTheProjectFile(source);
    EXPECT_EQ(calls, (QStringList{u"clearLists"_s, u"setLists"_s, u"loadTimes 2 3 4"_s,
                                  u"checkLoadedRules"_s}));
    EXPECT_EQ(loadedTimers, saved.TimerList);
    EXPECT_EQ(loadedRules, saved.RulesList);
    EXPECT_EQ(project.ProjectFileName(), source);
    EXPECT_EQ(project.ChangeCount(), 0);
    EXPECT_EQ(view.caption, kCaption + u" <source.iom>"_s);
}

TEST_F(ProjectDocumentTest, AMissingFileLoadsAnEmptyProject)
{
    project.setProjectFileName(u"/old/project.iom"_s);
    project.noteChange();
    project.OpenTheProjectFile(file(u"missing.iom"_s));
    EXPECT_EQ(calls, (QStringList{u"clearLists"_s, u"loadTimes 0 0 0"_s, u"checkLoadedRules"_s}));
    EXPECT_TRUE(project.ProjectFileName().isEmpty());
    EXPECT_EQ(project.ChangeCount(), 0);
    EXPECT_EQ(view.caption, kCaption);
    EXPECT_TRUE(view.boxes.isEmpty());
}

TEST_F(ProjectDocumentTest, ALoadAfterChangesAsksFirst)
{
    project.noteChange();
    view.answers.push_back(View::Answer::Cancel);
    project.Load1Click();
    EXPECT_EQ(view.boxTexts(), QStringList{u"Time/Rule parameters have changed.\r\rSave?"_s});
    EXPECT_TRUE(view.fileDialogs.isEmpty());
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_EQ(project.ChangeCount(), 1);
}

TEST_F(ProjectDocumentTest, TheCloseQueryRemembersPortAndProject)
{
    link.setPort(3);
    link.setActive(true);
    project.setProjectFileName(u"/home/user/lab.iom"_s);
    bool canClose = false;
    project.FormCloseQuery(canClose);
    EXPECT_TRUE(canClose);
    EXPECT_EQ(calls, QStringList{u"logCloseQuery"_s});
    EXPECT_EQ(ReadTextLines(file(u"program/v217.dat"_s)),
              (QStringList{u"3"_s, u"/home/user/lab.iom"_s}));
}

TEST_F(ProjectDocumentTest, TheLogCanKeepTheWindowOpen)
{
    logMayClose = false;
    bool canClose = true;
    project.FormCloseQuery(canClose);
    EXPECT_FALSE(canClose);
    EXPECT_FALSE(QFile::exists(file(u"program/v217.dat"_s)));
}

TEST_F(ProjectDocumentTest, StartUpOpensThePortAndTheProjectItRemembers)
{
    WriteTextLines(file(u"program/v217.dat"_s), {u"5"_s, file(u"missing.iom"_s)});
    project.readLastRunFile();
    EXPECT_EQ(calls, (QStringList{u"openSerialPort 5"_s, u"clearLists"_s, u"loadTimes 0 0 0"_s,
                                  u"checkLoadedRules"_s}));
}
