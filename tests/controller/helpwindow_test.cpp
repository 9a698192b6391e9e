// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/helptext.h"
#include "help/helpwindow.h"
#include "support/rig.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

// Index of the heading in the text, or -1; checks its underline.
qsizetype headingAt(const QStringList& lines, const QString& heading, QChar mark, qsizetype from)
{
    for (qsizetype i = from; i + 1 < lines.size(); ++i) {
        if (lines.at(i) == heading && lines.at(i + 1) == QString(heading.size(), mark))
            return i;
    }
    return -1;
}

TEST(HelpText, StartsWithTheTitleAndHasEveryHeadingInOrder)
{
    const QStringList lines = HelpText();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), QStringLiteral("QMX V217 Serial Port Relay Driver Kit"));

    const QChar top = QLatin1Char('=');
    const QChar sub = QLatin1Char('-');
    const std::vector<std::pair<QString, QChar>> headings{
        {QStringLiteral("Main Screen"), top},
        {QStringLiteral("Menu Items"), sub},
        {QStringLiteral("CHOOSING THE PORT ON LINUX"), sub},
        {QStringLiteral("RELAY STATUS INDICATORS"), sub},
        {QStringLiteral("INPUT STATUS INDICATORS"), sub},
        {QStringLiteral("BUTTONS"), sub},
        {QStringLiteral("TIMER EDIT WINDOW"), top},
        {QStringLiteral("ENTERING A RECORD"), sub},
        {QStringLiteral("TOGGLE"), sub},
        {QStringLiteral("DAILY"), sub},
        {QStringLiteral("EDIT"), sub},
        {QStringLiteral("DELETE"), sub},
        {QStringLiteral("PREVIOUS - NEXT"), sub},
        {QStringLiteral("DELETE ALL"), sub},
        {QStringLiteral("LOGGER EDIT WINDOW"), top},
        {QStringLiteral("INPUT RULES WINDOW"), top},
        {QStringLiteral("EXAMPLES"), sub},
    };
    qsizetype from = 0;
    for (const auto& [heading, mark] : headings) {
        SCOPED_TRACE(qPrintable(heading));
        const qsizetype at = headingAt(lines, heading, mark, from);
        ASSERT_GE(at, 0);
        from = at + 2;
    }
    // Every underline in the text is as long as the line above it.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        static const QRegularExpression underline(QStringLiteral("^(=+|-+)$"));
        if (underline.match(lines.at(i)).hasMatch()) {
            EXPECT_EQ(lines.at(i).size(), lines.at(i - 1).size()) << qPrintable(lines.at(i - 1));
        }
    }
}

TEST(HelpText, ListsTheMenuItemsAndButtonsInOrder)
{
    const QStringList lines = HelpText();
    qsizetype from = 0;
    for (const char* item :
         {"FILE -> Save", "FILE -> Open", "FILE -> Exit", "PORT -> Set", "HELP -> Contents", "SET",
          "WRITE", "CLEAR ALL", "SET ALL", "ACTIVATE", "INPUT RULES EDIT", "INPUT RULES ACTIVATE",
          "TIMERS EDIT", "TIMERS ACTIVATE", "INPUT LOGGER EDIT", "INPUT LOGGER START",
          "INPUT LOGGER NOW", "INPUT LOGGER SAVE"}) {
        const qsizetype at = lines.indexOf(QString::fromLatin1(item), from);
        ASSERT_GE(at, 0) << item;
        EXPECT_FALSE(lines.value(at + 1).isEmpty()) << item; // followed by its paragraph
        from = at + 1;
    }
}

TEST(HelpText, SaysWhatTheUserMustKnow)
{
    const QString text = HelpText().join(QLatin1Char('\n'));
    for (const char* fact :
         {"in active mode", "ACTIVATE is cycled off and on again", "0.2 seconds, so the tenth",
          "24-hour", "every 0.2 seconds", "strictly from left to right, with no parentheses",
          "/dev/ttyS0 to /dev/ttyS3", "/dev/ttyUSB0 to /dev/ttyUSB2",
          "/dev/ttyACM0 and /dev/ttyACM1", "$XDG_CONFIG_HOME/qmx-v217/ports/", "/dev/serial/by-id",
          "dialout",
          // A scheduled run started early ends at once rather than waiting.
          "does not wait for its ON time", "ends at the first input read"}) {
        EXPECT_TRUE(text.contains(QString::fromLatin1(fact))) << fact;
    }
}

TEST(HelpText, TheRuleExamplesAreRulesTheEditorAccepts)
{
    const QStringList lines = HelpText();
    const qsizetype examples = lines.indexOf(QStringLiteral("EXAMPLES"));
    ASSERT_GE(examples, 0);
    // Input terms joined by and/or, "=", two-digit relays 01 to 16 with H or L.
    static const QRegularExpression rule(
        QStringLiteral("^[1-6][HL]((and|or)[1-6][HL])*=((0[1-9]|1[0-6])[HL])+$"));
    const QStringList wanted{QStringLiteral("1H=01H"), QStringLiteral("1Hor2H=01H"),
                             QStringLiteral("1Hand3L=01H02H03H04L")};
    for (const QString& example : wanted) {
        SCOPED_TRACE(qPrintable(example));
        EXPECT_GT(lines.indexOf(example, examples), examples);
        EXPECT_TRUE(rule.match(example).hasMatch());
    }
}

TEST(HelpWindow, ReadOnlyTextAndAnOkButtonInTheirPlaces)
{
    Rig rig;
    THelpFm help;
    EXPECT_EQ(help.objectName(), QStringLiteral("HelpFm"));
    EXPECT_EQ(help.windowTitle(), QStringLiteral("QMX T95 Help"));
    EXPECT_EQ(help.size(), QSize(465, 273));
    EXPECT_EQ(help.minimumSize(), help.maximumSize());

    auto* memo = help.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->geometry(), QRect(0, 0, 465, 233));
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->toPlainText(), HelpText().join(QLatin1Char('\n')));

    auto* ok = help.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->geometry(), QRect(195, 240, 75, 25));
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));

    help.open();
    const QString before = memo->toPlainText();
    memo->setFocus();
    QTest::keyClicks(memo, QStringLiteral("typed"));
    QTest::keyClick(memo, Qt::Key_Delete);
    EXPECT_EQ(memo->toPlainText(), before);
    EXPECT_GT(memo->verticalScrollBar()->maximum(), 0); // longer than the box: it scrolls

    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(help.isVisible());
    EXPECT_EQ(help.result(), QDialog::Accepted);
}

} // namespace
