// SPDX-License-Identifier: GPL-3.0-or-later
// The port dialog, driven through its controls.
#include "board/portwindow.h"
#include "support/rig.h"

#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class PortDialog : public ::testing::Test
{
protected:
    template <typename T> T* child(const char* name)
    {
        return dialog.findChild<T*>(QString::fromLatin1(name));
    }
    // Runs `inside` once the dialog is up; it must end by closing it.
    bool execute(QString& text, std::function<void()> inside)
    {
        QTimer::singleShot(0, &dialog, [this, inside = std::move(inside)] {
            inside();
            if (dialog.isVisible())
                dialog.reject();
        });
        return dialog.execute(text);
    }

    Rig rig;
    TPortFm dialog{rig.view};
};

TEST_F(PortDialog, LayoutFollowsTheWindowTable)
{
    EXPECT_EQ(dialog.objectName(), QStringLiteral("PortFm"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("V217 Serial Port Change"));
    EXPECT_EQ(dialog.size(), QSize(208, 80));
    ASSERT_NE(child<QLabel>("Label1"), nullptr);
    EXPECT_EQ(child<QLabel>("Label1")->text(), QStringLiteral("Enter Port Value"));
    EXPECT_EQ(child<QLabel>("Label1")->pos(), QPoint(15, 9));
    auto* edit = child<QLineEdit>("PortEdit");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->geometry(), QRect(127, 5, 33, 21));
    EXPECT_EQ(edit->maxLength(), 1);
    ASSERT_NE(child<QFrame>("Bevel1"), nullptr);
    EXPECT_EQ(child<QFrame>("Bevel1")->geometry(), QRect(8, 31, 193, 42));
    auto* ok = child<QPushButton>("OKbutt");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->geometry(), QRect(19, 39, 75, 25));
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
    auto* cancel = child<QPushButton>("BitBtn2");
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->geometry(), QRect(115, 39, 75, 25));
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
}

TEST_F(PortDialog, KeyFilterTakesDigitsBackspaceAndEnterOnly)
{
    for (const char c : QByteArray("0123456789\b\r"))
        EXPECT_TRUE(TPortFm::PortEditAccepts(QLatin1Char(c))) << int(c);
    for (const char c : QByteArray("aAzZ -+.*/\t#"))
        EXPECT_FALSE(TPortFm::PortEditAccepts(QLatin1Char(c))) << c;
}

TEST_F(PortDialog, TypedLettersBeepAndDigitsStayOneCharacterLong)
{
    QString text;
    QString seen;
    bool focused = false;
    // Leave the focus on the OK button: each showing puts it back in the box.
    (void)execute(text, [&] { child<QPushButton>("OKbutt")->setFocus(); });
    const bool ok = execute(text, [&] {
        auto* edit = child<QLineEdit>("PortEdit");
        focused = dialog.focusWidget() == edit;
        QTest::keyClicks(edit, QStringLiteral("a"));
        QTest::keyClicks(edit, QStringLiteral("37"));
        seen = edit->text();
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_TRUE(focused);
    EXPECT_EQ(rig.view.beeps, 1);
    EXPECT_EQ(seen, QStringLiteral("3"));
    EXPECT_TRUE(ok);
    EXPECT_EQ(text, QStringLiteral("3"));
}

// Esc, Tab and Delete as X11 sends them, with their text.
TEST_F(PortDialog, KeysThatCarryAControlCharacterStillWork)
{
    const auto press = [](QWidget* target, Qt::Key key, const char* text) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
        QApplication::sendEvent(target, &event);
    };
    QString text = QStringLiteral("3");
    QString afterDelete;
    QWidget* focusAfterTab = nullptr;
    bool openAfterEsc = true;
    const bool ok = execute(text, [&] {
        auto* edit = child<QLineEdit>("PortEdit");
        edit->setCursorPosition(0);
        press(edit, Qt::Key_Delete, "\x7f");
        afterDelete = edit->text();
        press(edit, Qt::Key_Tab, "\t");
        focusAfterTab = dialog.focusWidget();
        edit->setFocus();
        press(edit, Qt::Key_Escape, "\x1b");
        openAfterEsc = dialog.isVisible();
    });
    EXPECT_EQ(afterDelete, QString());
    EXPECT_EQ(focusAfterTab, child<QPushButton>("OKbutt"));
    EXPECT_FALSE(openAfterEsc);
    EXPECT_FALSE(ok);
    EXPECT_EQ(rig.view.beeps, 0);
}

TEST_F(PortDialog, APasteOrADropTakesTheKeyFilter)
{
    QString text;
    QString pasted;
    QString dropped;
    (void)execute(text, [&] {
        auto* edit = child<QLineEdit>("PortEdit");
        QApplication::clipboard()->setText(QStringLiteral("x7"));
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        pasted = edit->text();
        edit->clear();
        QMimeData dragged;
        dragged.setText(QStringLiteral("com4"));
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &dragged, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(edit, &enter);
        QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &drop);
        dropped = edit->text();
    });
    EXPECT_EQ(pasted, QStringLiteral("7"));
    EXPECT_EQ(dropped, QStringLiteral("4"));
    EXPECT_EQ(rig.view.beeps, 2);
}

TEST_F(PortDialog, OkWithAnEmptyBoxSaysInvalidPortValueAndStaysOpen)
{
    QString text;
    bool openAfterOk = false;
    const bool ok = execute(text, [&] {
        child<QPushButton>("OKbutt")->click();
        openAfterOk = dialog.isVisible();
        QTest::keyClicks(child<QLineEdit>("PortEdit"), QStringLiteral("5"));
        child<QPushButton>("OKbutt")->click();
    });
    EXPECT_TRUE(openAfterOk);
    ASSERT_EQ(rig.view.boxes.size(), 1);
    EXPECT_EQ(rig.view.boxes.at(0).kind, QStringLiteral("Error"));
    EXPECT_EQ(rig.view.boxes.at(0).text, QStringLiteral("Invalid port value"));
    EXPECT_TRUE(ok);
    EXPECT_EQ(text, QStringLiteral("5"));
}

TEST_F(PortDialog, ShowsTheTextPassedInAndCancelLeavesItAlone)
{
    QString text = QStringLiteral("3");
    QString shown;
    const bool ok = execute(text, [&] {
        shown = child<QLineEdit>("PortEdit")->text();
        child<QPushButton>("BitBtn2")->click();
    });
    EXPECT_EQ(shown, QStringLiteral("3"));
    EXPECT_FALSE(ok);
    EXPECT_EQ(text, QStringLiteral("3"));
}

// Port -> Set on the scripted board.
TEST(PortSelection, SetShowsTheOpenPortAndOpensWhatWasConfirmed)
{
    Rig rig;
    rig.core.OpenSerialPort(QStringLiteral("3"));
    ASSERT_EQ(rig.view.status[0], QStringLiteral("COM 3"));
    rig.view.onPortDialog = [](QString& text) {
        text = QStringLiteral("6");
        return true;
    };
    rig.core.Set1Click();
    EXPECT_EQ(rig.view.portDialogShownWith, QStringLiteral("3"));
    EXPECT_EQ(rig.link.Port(), 6);
    EXPECT_EQ(rig.view.status[0], QStringLiteral("COM 6"));
    EXPECT_EQ(
        rig.view.statusHistory[1].mid(rig.view.statusHistory[1].size() - 2),
        (QStringList{QStringLiteral("Modify COM port..."), QStringLiteral("Communications idle")}));

    rig.link.setActive(false);
    rig.view.onPortDialog = [](QString&) { return false; };
    rig.core.Set1Click();
    EXPECT_TRUE(rig.view.portDialogShownWith.isEmpty());
    EXPECT_EQ(rig.view.status[1], QStringLiteral("Communications idle"));
    EXPECT_EQ(rig.link.Port(), 6);
}

TEST(PortSelection, ADoubleClickOnTheStatusBarOpensTheSameDialog)
{
    Rig rig;
    int shown = 0;
    rig.view.onPortDialog = [&](QString&) {
        ++shown;
        return false;
    };
    rig.core.StatusBar1DblClick();
    EXPECT_EQ(shown, 1);
}

} // namespace
