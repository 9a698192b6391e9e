// The main window's message boxes as real modal boxes, offscreen: what Esc
// and the close button answer.
#include "windowfixture.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <functional>

namespace {

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

} // namespace
