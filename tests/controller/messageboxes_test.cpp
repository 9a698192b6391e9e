// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's message boxes as real modal boxes, offscreen: what Esc
// and the close button answer, and the ticks that go on while a box is open.
#include "tools/waituntil.h"
#include "windowfixture.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <functional>

namespace {

using namespace std::chrono_literals;

// Acts on the next message box once it is open, from a timer of the box's
// own event loop. A box that an action meant to close but left open is
// closed after it, so a test never hangs; what the test checks is recorded
// and asserted after exec().
class BoxWatcher
{
public:
    using Action = std::function<void(QMessageBox&)>;
    BoxWatcher(Action action, bool actionCloses)
        : m_action(std::move(action)), m_closes(actionCloses)
    {
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { poll(); });
        m_timer.start();
    }

    QString text;          // the box's text
    bool done = false;     // the action has run
    bool leftOpen = false; // the action should have closed the box and did not

private:
    void poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (done) {
            leftOpen = true;
            box->done(-1);
            return;
        }
        done = true;
        text = box->text();
        if (!m_closes)
            m_timer.stop();
        m_action(*box);
    }

    Action m_action;
    bool m_closes;
    QTimer m_timer;
};

using MessageBoxes = WindowTest;

TEST_F(MessageBoxes, EscAndTheCloseButtonGiveTheAnswerTheQuestionNames)
{
    struct Case
    {
        View::Buttons buttons;
        View::Answer escape;
    };
    const Case cases[] = {{View::Buttons::YesNo, View::Answer::Yes},
                          {View::Buttons::YesNo, View::Answer::No},
                          {View::Buttons::YesNoCancel, View::Answer::Cancel}};
    const std::pair<const char*, BoxWatcher::Action> ways[] = {
        {"Esc", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }},
        {"close button", [](QMessageBox& box) { box.close(); }}};
    for (const Case& c : cases) {
        for (const auto& [way, action] : ways) {
            SCOPED_TRACE(testing::Message() << way << ", escape " << static_cast<int>(c.escape));
            BoxWatcher watcher(action, true);
            const View::Answer answer =
                window.confirm(QStringLiteral("Continue?"), c.buttons, c.escape);
            EXPECT_TRUE(watcher.done);
            EXPECT_FALSE(watcher.leftOpen);
            EXPECT_EQ(answer, c.escape);
        }
    }
}

// A clock that counts how often it is read: once per tick while the system
// is idle, for the clock panel.
class CountingClock final : public Clock
{
public:
    [[nodiscard]] QDateTime now() const override
    {
        ++reads;
        return QDateTime(QDate(2014, 7, 3), QTime(12, 0));
    }
    mutable int reads = 0;
};

// The main window with its own tick timer running, fast.
class TicksUnderABox : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        QDir::setCurrent(folder.path());
    }
    void TearDown() override { QDir::setCurrent(previous); }

    QString panel(int i)
    {
        return window.findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i))->text();
    }
    // Runs the tick timer until a box has been open and closed again and the
    // tick that raised it has gone on to `after` in panel 1. The box is
    // closed with OK once three more ticks have run under it, or after a
    // bound if they never come.
    void runUntilABoxHasClosed(const QString& after)
    {
        const QDeadlineTimer bound(3s);
        int readsAtOpen = 0;
        QMessageBox* open = nullptr;
        QTimer closer;
        closer.setInterval(1);
        QObject::connect(&closer, &QTimer::timeout, &closer, [&] {
            if (clock.reads - readsAtOpen < 3 && !bound.hasExpired())
                return;
            closer.stop();
            ticksUnderTheBox = clock.reads - readsAtOpen;
            open->button(QMessageBox::Ok)->click();
        });
        BoxWatcher watcher(
            [&](QMessageBox& box) {
                readsAtOpen = clock.reads;
                panelWhileOpen = panel(1);
                open = &box;
                closer.start();
            },
            false);
        ticks->setInterval(1);
        ticks->start();
        ASSERT_TRUE(
            waitUntil([&] { return watcher.done && !closer.isActive() && panel(1) == after; }));
        ticks->stop();
        boxText = watcher.text;
    }

    QString previous = QDir::currentPath();
    QTemporaryDir folder;
    FakeLink link;
    CountingClock clock;
    const Regional regional = Regional::fixed();
    Desktop desktop{link, clock, regional};
    TIOmodFM& window = desktop.mainWindow;
    QTimer* ticks = window.findChild<QTimer*>(QStringLiteral("Timer1"));
    QString boxText;
    QString panelWhileOpen;
    int ticksUnderTheBox = 0;
};

TEST_F(TicksUnderABox, TheWatchdogBoxLetsTheTicksGoOn)
{
    ticks->stop();
    desktop.core.Timer1Timer();
    desktop.core.ActiveButtClick(); // the board never answers
    runUntilABoxHasClosed(QStringLiteral("Ready"));
    EXPECT_EQ(boxText,
              QStringLiteral(
                  "The board is not responding.\nPlease check port, connections and power.\n"));
    EXPECT_EQ(panelWhileOpen, QStringLiteral("Comms error..."));
    EXPECT_GE(ticksUnderTheBox, 3);
    EXPECT_FALSE(desktop.core.poll().SystemActive());
}

TEST_F(TicksUnderABox, ABoxOfTheFirstTickLetsTheTicksGoOn)
{
    QFile lastRun(folder.filePath(QStringLiteral("v217.dat")));
    ASSERT_TRUE(lastRun.open(QIODevice::WriteOnly));
    lastRun.write("0\r\n*\r\n");
    lastRun.close();
    ticks->stop();
    // The start-up ends with the reason of the failed open, not "Ready".
    runUntilABoxHasClosed(QStringLiteral("COM 0: no such device"));
    EXPECT_EQ(boxText, QStringLiteral("There appears to be a problem accessing the COM Port"));
    EXPECT_GE(ticksUnderTheBox, 3);
    EXPECT_EQ(panel(0), QStringLiteral("COM x"));
}

} // namespace
