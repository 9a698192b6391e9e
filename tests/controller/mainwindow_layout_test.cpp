// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowfixture.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QPushButton>

namespace {

using Layout = WindowTest;

struct Expected
{
    QString name;
    QString parent;
    QRect geometry; // width 0: only the position is laid down (labels)
};

QString client()
{
    return QStringLiteral("ClientArea");
}

// The layout of the main window, control by control, relative to the
// enclosing panel.
std::vector<Expected> expectedLayout()
{
    const QString p10 = QStringLiteral("Panel10");
    std::vector<Expected> rows{
        {QStringLiteral("Panel10"), client(), {3, 1, 182, 330}},
        {QStringLiteral("Label20"), p10, {73, 7, 0, 0}},
        {QStringLiteral("Label19"), p10, {74, 237, 0, 0}},
        {QStringLiteral("Panel5"), client(), {185, 1, 117, 223}},
        {QStringLiteral("Label8"), QStringLiteral("Panel5"), {23, 6, 0, 0}},
        {QStringLiteral("WriteButt"), QStringLiteral("Panel5"), {20, 39, 76, 25}},
        {QStringLiteral("ClearAllButt"), QStringLiteral("Panel5"), {20, 103, 76, 25}},
        {QStringLiteral("SetAllButt"), QStringLiteral("Panel5"), {20, 167, 76, 25}},
        {QStringLiteral("Panel9"), client(), {302, 1, 92, 43}},
        {QStringLiteral("ActiveButt"), QStringLiteral("Panel9"), {8, 10, 75, 25}},
        {QStringLiteral("Panel4"), client(), {302, 44, 92, 90}},
        {QStringLiteral("Label4"), QStringLiteral("Panel4"), {8, 6, 0, 0}},
        {QStringLiteral("InputRulesSB"), QStringLiteral("Panel4"), {34, 25, 23, 22}},
        {QStringLiteral("RulesEditButt"), QStringLiteral("Panel4"), {8, 55, 75, 25}},
        {QStringLiteral("Panel1"), client(), {302, 134, 92, 90}},
        {QStringLiteral("Label2"), QStringLiteral("Panel1"), {25, 8, 0, 0}},
        {QStringLiteral("TimerSB"), QStringLiteral("Panel1"), {34, 25, 23, 22}},
        {QStringLiteral("OutEditButt"), QStringLiteral("Panel1"), {8, 54, 75, 25}},
        {QStringLiteral("Panel3"), client(), {185, 224, 209, 107}},
        {QStringLiteral("Label1"), QStringLiteral("Panel3"), {10, 6, 0, 0}},
        {QStringLiteral("LedImage"), QStringLiteral("Panel3"), {103, 9, 7, 7}},
        {QStringLiteral("InputLogSB"), QStringLiteral("Panel3"), {10, 25, 23, 22}},
        {QStringLiteral("Label3"), QStringLiteral("Panel3"), {48, 30, 0, 0}},
        {QStringLiteral("InputNowSB"), QStringLiteral("Panel3"), {10, 49, 23, 22}},
        {QStringLiteral("Label10"), QStringLiteral("Panel3"), {48, 55, 0, 0}},
        {QStringLiteral("CountLabel"), QStringLiteral("Panel3"), {10, 87, 0, 0}},
        {QStringLiteral("LogEditButt"), QStringLiteral("Panel3"), {116, 25, 75, 25}},
        {QStringLiteral("LogSaveButt"), QStringLiteral("Panel3"), {116, 65, 75, 25}},
        {QStringLiteral("StatusBar1"), client(), {0, 331, 396, 19}},
        {QStringLiteral("AllOffImage"), client(), {448, 56, 38, 14}},
        {QStringLiteral("OffImage"), client(), {448, 72, 38, 14}},
        {QStringLiteral("OnImage"), client(), {448, 88, 38, 14}},
    };
    const int relayTops[] = {28, 52, 76, 99, 124, 148, 172, 196};
    const int setTops[] = {24, 48, 72, 96, 120, 144, 168, 192};
    const char* relayLabels[] = {"Label11", "Label12", "Label13", "Label14", "Label15", "Label16",
                                 "Label17", "Label18", "Label5",  "Label6",  "Label7",  "Label9",
                                 "Label25", "Label26", "Label27", "Label28"};
    for (int relay = 1; relay <= 16; ++relay) {
        const int row = (relay - 1) % 8;
        const bool right = relay > 8;
        rows.push_back(
            {relayIndicatorName(relay), p10, {right ? 108 : 20, relayTops[row], 38, 14}});
        rows.push_back({setButtonName(relay), p10, {right ? 148 : 60, setTops[row], 23, 22}});
        rows.push_back({QString::fromLatin1(relayLabels[relay - 1]),
                        p10,
                        {right ? 91 : 6, relayTops[row], 0, 0}});
    }
    const int inputTops[] = {262, 282, 302};
    const char* inputLabels[] = {"Label21", "Label22", "Label23", "Label24", "Label29", "Label30"};
    for (int input = 1; input <= 6; ++input) {
        const int row = (input - 1) % 3;
        const bool right = input > 3;
        rows.push_back(
            {inputIndicatorName(input), p10, {right ? 108 : 20, inputTops[row], 38, 14}});
        rows.push_back({QString::fromLatin1(inputLabels[input - 1]),
                        p10,
                        {right ? 94 : 6, inputTops[row], 0, 0}});
    }
    return rows;
}

TEST_F(Layout, EveryControlSitsAtItsPlace)
{
    window.show();
    EXPECT_EQ(window.centralWidget()->size(), QSize(396, 350));
    EXPECT_EQ(window.centralWidget()->objectName(), client());
    for (const Expected& row : expectedLayout()) {
        SCOPED_TRACE(qPrintable(row.name));
        QWidget* widget = find(row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), row.parent);
        if (row.geometry.width() == 0)
            EXPECT_EQ(widget->pos(), row.geometry.topLeft());
        else
            EXPECT_EQ(widget->geometry(), row.geometry);
    }
    EXPECT_EQ(find(QStringLiteral("CountLabel"))->width(), 91);
}

TEST_F(Layout, TheStatusBarHasThreeCentredPanels)
{
    const int widths[] = {40, 190, 50};
    int left = 0;
    for (int i = 0; i < 3; ++i) {
        auto* panel = find<QLabel>(QStringLiteral("StatusPanel%1").arg(i));
        EXPECT_EQ(panel->parentWidget()->objectName(), QStringLiteral("StatusBar1"));
        EXPECT_EQ(panel->x(), left);
        EXPECT_EQ(panel->width(), widths[i]);
        EXPECT_EQ(panel->alignment(), Qt::AlignCenter);
        left += widths[i];
    }
}

TEST_F(Layout, CaptionsFitTheirControls)
{
    for (QLabel* label : window.centralWidget()->findChildren<QLabel*>()) {
        if (label->text().isEmpty() || !label->isVisibleTo(&window))
            continue;
        SCOPED_TRACE(qPrintable(label->objectName()));
        const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
        EXPECT_LE(textWidth, label->contentsRect().width() + 1);
        EXPECT_TRUE(label->parentWidget()->rect().contains(label->geometry()));
    }
    for (QPushButton* button : window.centralWidget()->findChildren<QPushButton*>()) {
        SCOPED_TRACE(qPrintable(button->objectName()));
        const int content = button->iconSize().width() + 4 +
                            button->fontMetrics().horizontalAdvance(button->text().trimmed());
        EXPECT_LE(content + 8, button->width());
    }
    // "INPUT LOGGER" ends before the activity lamp beside it.
    EXPECT_LT(find(QStringLiteral("Label1"))->geometry().right(),
              find(QStringLiteral("LedImage"))->x());
}

TEST_F(Layout, TheRenderedWindowShowsTheIndicatorsWhereTheyBelong)
{
    window.show();
    const QImage image = window.centralWidget()->grab().toImage();
    ASSERT_EQ(image.size(), QSize(396, 350));
    // Panel10 lies at (3, 1); a relay face at (20, 28) in it, an input
    // picture at (20, 262).
    EXPECT_EQ(image.pixel(3 + 20 + 5, 1 + 28 + 5), 0xFF800000u);     // relay 01, idle
    EXPECT_EQ(image.pixel(3 + 108 + 5, 1 + 196 + 5), 0xFF800000u);   // relay 16, idle
    EXPECT_EQ(image.pixel(3 + 20 + 3, 1 + 262 + 3), 0xFF800000u);    // input 1, left lamp
    EXPECT_EQ(image.pixel(3 + 108 + 21, 1 + 302 + 3), 0xFF008000u);  // input 6, right lamp
    EXPECT_EQ(image.pixel(185 + 103 + 3, 224 + 9 + 3), 0xFF800000u); // activity lamp
}

TEST_F(Layout, TheWindowCannotBeResizedOrMaximised)
{
    window.show();
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_EQ(window.objectName(), QStringLiteral("DErezFM"));
}

} // namespace
