// SPDX-License-Identifier: GPL-3.0-or-later
#include "printers.h"
#include "rules/ruleswindow.h"
#include "safety/boardsettings.h"
#include "support/rig.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The rules editor window on a controller with a recording view, driven by
// real key events and clicks, drawn offscreen.
class RulesWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rig.startUp();
        memo = window.findChild<QPlainTextEdit*>(u"RulesMemo"_s);
        okButt = window.findChild<QPushButton*>(u"OKbutt"_s);
        cancelButt = window.findChild<QPushButton*>(u"CancelButt"_s);
        ASSERT_NE(memo, nullptr);
        ASSERT_NE(okButt, nullptr);
        ASSERT_NE(cancelButt, nullptr);
    }
    void TearDown() override { window.hide(); }
    // Opens the window on the form's lines, as the Edit button does.
    void open(const QStringList& lines = {})
    {
        form().RulesMemo = lines;
        window.show();
    }
    RulesForm& form() { return rig.core.rulesForm(); }

    Rig rig;
    TRulesFm window{rig.core.rulesForm(), rig.view};
    QPlainTextEdit* memo = nullptr;
    QPushButton* okButt = nullptr;
    QPushButton* cancelButt = nullptr;
};

TEST_F(RulesWindow, Layout)
{
    EXPECT_EQ(window.objectName(), u"RulesFm"_s);
    EXPECT_EQ(window.windowTitle(), u"V217 Rules Editor"_s);
    EXPECT_EQ(window.minimumSize(), QSize(383, 254));
    EXPECT_EQ(window.maximumSize(), QSize(383, 254));

    EXPECT_EQ(memo->geometry(), QRect(0, 0, 383, 217));
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    EXPECT_EQ(okButt->text(), u"OK"_s);
    EXPECT_EQ(okButt->geometry(), QRect(61, 224, 75, 25));
    EXPECT_TRUE(okButt->isDefault());
    EXPECT_EQ(cancelButt->text(), u"Cancel"_s);
    EXPECT_EQ(cancelButt->geometry(), QRect(248, 224, 75, 25));
}

TEST_F(RulesWindow, OpeningShowsTheLinesAndStartsAFreshEdit)
{
    form().AcceptText = false;
    form().Modified = true;
    open({u"1H=01H"_s, u"2L=02L"_s});
    EXPECT_EQ(memo->toPlainText(), u"1H=01H\n2L=02L"_s);
    EXPECT_TRUE(form().AcceptText);
    EXPECT_FALSE(form().Modified);
    EXPECT_FALSE(memo->document()->isModified());
    EXPECT_EQ(window.focusWidget(), memo);
}

TEST_F(RulesWindow, TypedKeysPassTheFilter)
{
    open();
    QTest::keyClicks(memo, u"1hOR2h=01h"_s);
    EXPECT_EQ(memo->toPlainText(), u"1Hor2H=01H"_s);
    EXPECT_EQ(rig.view.beeps, 0);

    QTest::keyClicks(memo, u" x+(.,"_s);
    EXPECT_EQ(memo->toPlainText(), u"1Hor2H=01H"_s);
    EXPECT_EQ(rig.view.beeps, 6);

    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClicks(memo, u"3lAnD4L=16l"_s);
    QTest::keyClick(memo, Qt::Key_Backspace);
    QTest::keyClick(memo, Qt::Key_L, Qt::ShiftModifier);
    EXPECT_EQ(memo->toPlainText(), u"1Hor2H=01H\n3Land4L=16L"_s);
    EXPECT_TRUE(memo->document()->isModified());
}

TEST_F(RulesWindow, KeysThatTypeNothingStillEdit)
{
    open({u"1H=01H"_s});
    memo->moveCursor(QTextCursor::End);
    QTest::keyClick(memo, Qt::Key_Left);
    QTest::keyClick(memo, Qt::Key_Left);
    // Delete as X11 sends it, with its text.
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, u"\x7f"_s);
    QCoreApplication::sendEvent(memo, &del);
    QTest::keyClicks(memo, u"2"_s);
    EXPECT_EQ(memo->toPlainText(), u"1H=02H"_s);
    EXPECT_EQ(rig.view.beeps, 0);
}

TEST_F(RulesWindow, APasteTakesTheFilterOfTypedKeys)
{
    open({u"1H=01H"_s});
    memo->moveCursor(QTextCursor::End);
    QGuiApplication::clipboard()->setText(u"\n2hAND3l=02h x\r\n4L=03H"_s);
    QTest::keyClick(memo, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(memo->toPlainText(), u"1H=01H\n2Hand3L=02H\n4L=03H"_s);
    EXPECT_EQ(rig.view.beeps, 1);
    EXPECT_TRUE(memo->document()->isModified());
}

TEST_F(RulesWindow, ShortcutChordsAreDropped)
{
    open({u"1H=01H"_s});
    QGuiApplication::clipboard()->setText(u"junk"_s);
    memo->moveCursor(QTextCursor::End);
    QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(memo, Qt::Key_H, Qt::AltModifier);
    EXPECT_EQ(memo->toPlainText(), u"1H=01H"_s);
    EXPECT_FALSE(memo->textCursor().hasSelection());
    EXPECT_EQ(rig.view.beeps, 3);
}

TEST_F(RulesWindow, TextThatMissedTheFilterStillFacesTheCheck)
{
    rig.view.answers = {View::Answer::No};
    open();
    memo->insertPlainText(u"1HAND2H=01H"_s); // never passed the key filter
    EXPECT_EQ(memo->toPlainText(), u"1HAND2H=01H"_s);
    okButt->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_FALSE(form().AcceptText);
    ASSERT_EQ(rig.view.boxes.size(), 1);
    EXPECT_TRUE(rig.view.boxes.at(0).text.startsWith(
        u"Rules text has errors.\r\rIllegal character.\rLine: 1.\rCharacter: 3  [A]\r\r"_s));
    EXPECT_EQ(rig.view.beeps, 1);
}

TEST_F(RulesWindow, OkRemovesBlankLinesFromTheEditor)
{
    open();
    QTest::keyClicks(memo, u"1H=01H"_s);
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClicks(memo, u"2H=02H"_s);
    QTest::keyClick(memo, Qt::Key_Return);
    okButt->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_TRUE(form().AcceptText);
    EXPECT_TRUE(form().Modified);
    EXPECT_EQ(form().RulesMemo, (QStringList{u"1H=01H"_s, u"2H=02H"_s}));
    EXPECT_EQ(memo->toPlainText(), u"1H=01H\n2H=02H"_s);
}

TEST_F(RulesWindow, YesToTheQuestionKeepsTheWindowOpenWithTheText)
{
    rig.view.answers = {View::Answer::Yes};
    open();
    QTest::keyClicks(memo, u"1H=1H"_s);
    okButt->click();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(memo->toPlainText(), u"1H=1H"_s);
    EXPECT_TRUE(form().AcceptText);
    EXPECT_EQ(rig.view.boxes.size(), 1);
}

TEST_F(RulesWindow, TheBoardsInterlocksQuestionASoundTextThatNoUses)
{
    safety::BoardSettings settings;
    settings.interlocks = {0x0003};
    window.setBoardSettings(settings);
    rig.view.answers = {View::Answer::Yes, View::Answer::No};
    open();
    QTest::keyClicks(memo, u"1H=01H02H"_s);
    okButt->click();
    EXPECT_TRUE(window.isVisible());
    okButt->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_TRUE(form().AcceptText);
    EXPECT_EQ(form().RulesMemo, QStringList{u"1H=01H02H"_s});
    ASSERT_EQ(rig.view.boxes.size(), 2);
    EXPECT_TRUE(rig.view.boxes.at(0).text.startsWith(
        u"Rules text has warnings.\r\rline 1: 1H=01H02H switches relays 01 and 02"_s));
}

TEST_F(RulesWindow, EscIsCancelAndChecksNothing)
{
    open();
    QTest::keyClicks(memo, u"1H"_s);
    QTest::keyClick(memo, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_FALSE(form().AcceptText);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

TEST_F(RulesWindow, TheCloseBoxStillChecksTheText)
{
    rig.view.answers = {View::Answer::Yes};
    open();
    QTest::keyClicks(memo, u"1H"_s);
    window.close();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(rig.view.boxes.size(), 1);
}

// The whole way of a rule: typed into the editor, accepted with OK, switched
// on, and followed by the relays on the next poll cycles.
TEST_F(RulesWindow, TypedRulesDriveTheRelays)
{
    rig.view.answers = {View::Answer::No}; // a faulty text would close the window
    rig.view.onRulesEditor = [this] {
        QTimer::singleShot(0, &window, [this] {
            QTest::keyClicks(memo, u"1hAnD2l=05h06L"_s);
            okButt->click();
            if (window.isVisible())
                cancelButt->click();
        });
        return window.exec() == QDialog::Accepted;
    };
    rig.core.RulesEditButtClick();
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    ASSERT_EQ(rig.core.rules().RulesList(), QStringList{u"1Hand2L=05H06L"_s});
    EXPECT_EQ(rig.core.project().ChangeCount(), 1);

    rig.core.InputRulesSBClick();
    rig.link.inputDigits = "01"; // input 1 high, input 2 low
    rig.activateAndCycle(1);
    rig.tick();
    EXPECT_EQ(rig.link.written.last(), QByteArray("R0010\r"));

    rig.link.deliver();
    rig.link.inputDigits = "03"; // input 2 high too
    rig.tick();
    rig.link.deliver();
    rig.tick();
    EXPECT_EQ(rig.link.written.last(), QByteArray("R0020\r"));
}

} // namespace
