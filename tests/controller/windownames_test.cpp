// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowfixture.h"

#include <QAbstractButton>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSet>

namespace {

// The main window and the five windows it opens.
class AllWindows : public WindowTest
{
protected:
    [[nodiscard]] std::vector<QWidget*> windows()
    {
        return {&window,         &desktop.portFm,   &desktop.rulesFm,
                &desktop.chanFm, &desktop.loggerFm, &desktop.helpFm};
    }
};

// A window's own controls, panels included. A control of any other kind than
// a plain panel is a leaf: what Qt builds inside it (scroll bars, viewports,
// menus) is not part of the layout.
void collectControls(const QWidget* parent, std::vector<QWidget*>& controls)
{
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow())
            continue;
        controls.push_back(widget);
        const QMetaObject* kind = widget->metaObject();
        if (kind == &QWidget::staticMetaObject || kind == &QFrame::staticMetaObject)
            collectControls(widget, controls);
    }
}

QString describe(const QWidget* control)
{
    QString text;
    if (const auto* label = qobject_cast<const QLabel*>(control))
        text = label->text();
    else if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        text = button->text();
    return QStringLiteral("%1 \"%2\" at %3,%4 in %5")
        .arg(QString::fromLatin1(control->metaObject()->className()), text)
        .arg(control->x())
        .arg(control->y())
        .arg(control->parentWidget()->objectName());
}

TEST_F(AllWindows, EveryControlHasItsOwnName)
{
    for (QWidget* shown : windows()) {
        SCOPED_TRACE(qPrintable(QString::fromLatin1(shown->metaObject()->className())));
        EXPECT_FALSE(shown->objectName().isEmpty());
        std::vector<QWidget*> controls;
        collectControls(shown, controls);
        EXPECT_GE(controls.size(), 2u);
        QSet<QString> names;
        for (const QWidget* control : controls) {
            const QString name = control->objectName();
            if (name.isEmpty()) {
                ADD_FAILURE() << "no name: " << qPrintable(describe(control));
                continue;
            }
            EXPECT_FALSE(names.contains(name)) << "twice: " << qPrintable(name);
            names.insert(name);
        }
    }
}

TEST_F(AllWindows, EveryWindowIsCentredByItsFrame)
{
    for (QWidget* shown : windows()) {
        SCOPED_TRACE(qPrintable(QString::fromLatin1(shown->metaObject()->className())));
        shown->show();
        const QRect frame = shown->frameGeometry();
        // The offscreen platform draws a frame around each window, so the
        // frame and the client area have different centres.
        EXPECT_NE(frame.size(), shown->size());
        EXPECT_EQ(frame.center(), shown->screen()->availableGeometry().center());
        shown->hide();
    }
}

// The View menu sits between Port and Help, and its items open the timeline
// and the trace without holding the main window: neither is modal.
TEST_F(AllWindows, TheViewMenuOpensTheTimelineAndTheTrace)
{
    QStringList menus;
    for (const QMenu* menu : window.menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        menus.append(menu->objectName());
    EXPECT_EQ(menus, QStringList({"File1", "Port1", "View1", "Help1"}));
    auto* item = window.findChild<QAction*>(QStringLiteral("Timeline1"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QStringLiteral("&Timeline\u2026"));
    item->trigger();
    EXPECT_TRUE(desktop.timelineWindow.isVisible());
    EXPECT_FALSE(desktop.timelineWindow.isModal());
    EXPECT_TRUE(desktop.timelineWindow.isWindow());
    desktop.timelineWindow.hide();
    auto* trace = window.findChild<QAction*>(QStringLiteral("Trace1"));
    ASSERT_NE(trace, nullptr);
    trace->trigger();
    EXPECT_TRUE(desktop.traceWindow.isVisible());
    desktop.traceWindow.hide();
}

// Port -> Devices, Port -> Board and Port -> MQTT come after Set, which stays as it was;
// the Devices window is not modal either. (Shown, it would survey this machine's devices.)
TEST_F(AllWindows, ThePortMenuHasDevicesAfterSet)
{
    auto* port = window.findChild<QMenu*>(QStringLiteral("Port1"));
    ASSERT_NE(port, nullptr);
    QStringList items;
    for (const QAction* action : port->actions())
        items.append(action->objectName());
    EXPECT_EQ(items, QStringList({"Set1", "Devices1", "Board1", "Mqtt1"}));
    EXPECT_EQ(port->actions().at(1)->text(), QStringLiteral("&Devices\u2026"));
    EXPECT_EQ(desktop.devicesWindow.objectName(), QStringLiteral("DevicesFm"));
    EXPECT_TRUE(desktop.devicesWindow.isWindow());
    EXPECT_FALSE(desktop.devicesWindow.isModal());
    EXPECT_FALSE(desktop.devicesWindow.isVisible());
}

} // namespace
