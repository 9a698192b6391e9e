// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/daynumber.h"
#include "logger/loggerwindow.h"
#include "support/rig.h"
#include "support/timezone.h"

#include <QAccessible>
#include <QAccessibleEditableTextInterface>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class LoggerWindow : public ::testing::Test
{
protected:
    void SetUp() override { rig.clock.set(QDateTime(QDate(2026, 12, 8), QTime(15, 4, 9))); }
    void TearDown() override { window.hide(); }

    // Shows the window as the active window, as the Edit button does.
    void open()
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    [[nodiscard]] QLineEdit* edit(const char* name) const
    {
        auto* found = window.findChild<QLineEdit*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void click(const char* name)
    {
        auto* button = window.findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void typeInto(const char* name, const QString& text)
    {
        QLineEdit* field = edit(name);
        field->setFocus();
        QTest::keyClicks(field, text);
    }
    [[nodiscard]] QStringList texts(const QStringList& names) const
    {
        QStringList result;
        for (const QString& name : names)
            result.append(edit(name.toLatin1().constData())->text());
        return result;
    }

    Rig rig;
    TLoggerFm window{rig.core.loggerForm(), rig.view, rig.clock};
    LoggerForm& form = rig.core.loggerForm();
};

const QStringList kOnNames{"OnDayEdit",  "OnMonthEdit",  "OnYearEdit",
                           "OnHourEdit", "OnMinuteEdit", "OnSecondEdit"};
const QStringList kOffNames{"OffDayEdit",  "OffMonthEdit",  "OffYearEdit",
                            "OffHourEdit", "OffMinuteEdit", "OffSecondedit"};

TEST_F(LoggerWindow, LayoutNamesTagsAndTabOrder)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("V217 Logger Time Details"));
    EXPECT_EQ(window.size(), QSize(382, 217));

    struct Row
    {
        const char* name;
        QRect geometry;
        int tag;
        int maxLength;
    };
    const QList<Row> rows{
        {"OnDayEdit", {40, 24, 40, 21}, 0, 2},
        {"OnMonthEdit", {96, 24, 40, 21}, 1, 2},
        {"OnYearEdit", {152, 24, 40, 21}, 2, 4},
        {"OnHourEdit", {208, 24, 40, 21}, 3, 2},
        {"OnMinuteEdit", {264, 24, 40, 21}, 4, 2},
        {"OnSecondEdit", {320, 24, 40, 21}, 5, 2},
        {"OffDayEdit", {40, 80, 40, 21}, 7, 2},
        {"OffMonthEdit", {96, 80, 40, 21}, 8, 2},
        {"OffYearEdit", {152, 80, 40, 21}, 9, 4},
        {"OffHourEdit", {208, 80, 40, 21}, 10, 2},
        {"OffMinuteEdit", {264, 80, 40, 21}, 11, 2},
        {"OffSecondedit", {320, 80, 40, 21}, 12, 2},
        {"FrequencyEdit", {72, 128, 89, 21}, 100, 32767},
    };
    for (const Row& row : rows) {
        QLineEdit* field = edit(row.name);
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->geometry(), row.geometry) << row.name;
        EXPECT_EQ(field->property("tag").toInt(), row.tag) << row.name;
        EXPECT_EQ(field->maxLength(), row.maxLength) << row.name;
    }

    const QList<std::pair<const char*, QRect>> buttons{{"NowButt", {196, 124, 75, 25}},
                                                       {"ClearButt", {288, 124, 75, 25}},
                                                       {"OKButt", {60, 176, 75, 25}},
                                                       {"CancelButt", {235, 176, 75, 25}}};
    for (const auto& [name, geometry] : buttons) {
        auto* button = window.findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->geometry(), geometry) << name;
    }
    EXPECT_TRUE(window.findChild<QPushButton*>(QStringLiteral("OKButt"))->isDefault());
    EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("Bevel1"))->geometry(),
              QRect(16, 168, 353, 41));

    const QList<std::tuple<const char*, const char*, QPoint>> labels{
        {"Label1", "Day", {48, 8}},         {"Label6", "Second", {322, 8}},
        {"Label8", "Day", {48, 64}},        {"Label13", "Second", {322, 64}},
        {"Label15", "ON", {16, 27}},        {"Label16", "OFF", {16, 83}},
        {"Label17", "Frequency", {16, 131}}};
    for (const auto& [name, text, position] : labels) {
        auto* label = window.findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->text(), QString::fromLatin1(text)) << name;
        EXPECT_EQ(label->pos(), position) << name;
    }

    QStringList order;
    QWidget* widget = edit("OnDayEdit");
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != edit("OnDayEdit"));
    EXPECT_EQ(order,
              kOnNames + kOffNames +
                  QStringList({"FrequencyEdit", "NowButt", "ClearButt", "OKButt", "CancelButt"}));
}

TEST_F(LoggerWindow, ShowingFillsTheFieldsFromTheStoredValues)
{
    form.LoggerOnTime = *EncodeDayNumber(2014, 7, 3, 9, 5, 7);
    form.LoggerFrequency = 5;
    form.LogDataChanged = true;
    open();
    EXPECT_EQ(texts(kOnNames), QStringList({"03", "07", "2014", "09", "05", "07"}));
    EXPECT_EQ(texts(kOffNames), QStringList({"", "", "", "", "", ""}));
    EXPECT_EQ(edit("FrequencyEdit")->text(), QStringLiteral("5.0"));
    EXPECT_FALSE(form.LogDataChanged);
}

TEST_F(LoggerWindow, NowFillsTheGroupThatLastHadTheFocus)
{
    open();
    // The focus starts on OnDayEdit.
    click("NowButt");
    EXPECT_EQ(texts(kOnNames), QStringList({"08", "12", "2026", "15", "04", "09"}));
    EXPECT_EQ(edit("OffDayEdit")->text(), QString());

    edit("OffMinuteEdit")->setFocus();
    edit("FrequencyEdit")->setFocus();
    rig.clock.set(rig.clock.now().addSecs(120));
    click("NowButt");
    EXPECT_EQ(texts(kOffNames), QStringList({"08", "12", "2026", "15", "06", "09"}));
    EXPECT_EQ(edit("OnMinuteEdit")->text(), QStringLiteral("04"));
    EXPECT_FALSE(form.LogDataChanged);
}

TEST_F(LoggerWindow, KeyFiltersDropRefusedCharactersWithABeep)
{
    open();
    typeInto("OnDayEdit", QStringLiteral("1a2"));
    EXPECT_EQ(edit("OnDayEdit")->text(), QStringLiteral("12"));
    EXPECT_EQ(rig.view.beeps, 1);
    EXPECT_TRUE(form.LogDataChanged);
    typeInto("OnYearEdit", QStringLiteral("20145"));
    EXPECT_EQ(edit("OnYearEdit")->text(), QStringLiteral("2014"));

    QLineEdit* frequency = edit("FrequencyEdit");
    typeInto("FrequencyEdit", QStringLiteral("1.5"));
    EXPECT_EQ(frequency->text(), QStringLiteral("1.5"));
    // Judged on the whole text: with the caret at the start, a digit is
    // still refused, and so is a second point.
    frequency->setCursorPosition(0);
    QTest::keyClicks(frequency, QStringLiteral("7."));
    EXPECT_EQ(frequency->text(), QStringLiteral("1.5"));
    EXPECT_EQ(rig.view.beeps, 3);
    QTest::keyClick(frequency, Qt::Key_End);
    QTest::keyClick(frequency, Qt::Key_Backspace);
    QTest::keyClicks(frequency, QStringLiteral("25"));
    EXPECT_EQ(frequency->text(), QStringLiteral("1.2"));
    EXPECT_EQ(form.fields[LoggerForm::Frequency], QStringLiteral("1.2"));
}

TEST_F(LoggerWindow, AFailedOKKeepsTheWindowOpenAndRefillsIt)
{
    open();
    const QStringList on{"1", "7", "2014", "8", "0", "0"};
    const QStringList off{"0", "7", "2014", "9", "0", "0"};
    for (int i = 0; i < 6; ++i) {
        typeInto(kOnNames.at(i).toLatin1().constData(), on.at(i));
        typeInto(kOffNames.at(i).toLatin1().constData(), off.at(i));
    }
    typeInto("FrequencyEdit", QStringLiteral("2"));
    click("OKButt");

    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(rig.view.boxes.size(), 1);
    EXPECT_EQ(rig.view.boxes.value(0).kind, QStringLiteral("Error"));
    EXPECT_EQ(rig.view.boxes.value(0).text, QStringLiteral("Error: OFF Day value = 0"));
    // The ON group passed and comes back zero-padded; the OFF group and the
    // frequency come back empty.
    EXPECT_EQ(texts(kOnNames), QStringList({"01", "07", "2014", "08", "00", "00"}));
    EXPECT_EQ(texts(kOffNames), QStringList({"", "", "", "", "", ""}));
    EXPECT_EQ(edit("FrequencyEdit")->text(), QString());
    EXPECT_FALSE(form.LogDataChanged);
    EXPECT_FALSE(form.LogDataValid);
}

TEST_F(LoggerWindow, PastesAndDropsPassTheFilters)
{
    open();
    QLineEdit* frequency = edit("FrequencyEdit");
    frequency->setFocus();
    QApplication::clipboard()->setText(QStringLiteral("1a.55.3"));
    QTest::keyClick(frequency, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(frequency->text(), QStringLiteral("1.5"));
    EXPECT_EQ(form.fields[LoggerForm::Frequency], QStringLiteral("1.5"));
    EXPECT_EQ(rig.view.beeps, 1);
    EXPECT_TRUE(form.LogDataChanged);

    // The Paste of the field's own menu.
    QLineEdit* day = edit("OnDayEdit");
    QApplication::clipboard()->setText(QStringLiteral("x3y4z5"));
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(2, 2),
                                day->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(day, &menuEvent);
    auto* menu = day->findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    const auto paste = std::find_if(actions.begin(), actions.end(), [](const QAction* action) {
        return action->text().startsWith(QStringLiteral("&Paste"));
    });
    ASSERT_NE(paste, actions.end());
    (*paste)->trigger();
    menu->close();
    EXPECT_EQ(day->text(), QStringLiteral("34"));
    EXPECT_EQ(form.fields[LoggerForm::OnDay], QStringLiteral("34"));
    EXPECT_EQ(rig.view.beeps, 2);

    // A text dropped on a field.
    QLineEdit* year = edit("OnYearEdit");
    QMimeData dragged;
    dragged.setText(QStringLiteral("20-14"));
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(year, &enter);
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(year, &drop);
    EXPECT_EQ(year->text(), QStringLiteral("2014"));
    EXPECT_EQ(form.fields[LoggerForm::OnYear], QStringLiteral("2014"));
    EXPECT_EQ(rig.view.beeps, 3);
}

// A text set from outside the window (an assistive technology's editable
// text, an automation tool) is judged as if typed into the empty field.
TEST_F(LoggerWindow, TextsSetFromOutsidePassTheFilters)
{
    form.LoggerOnTime = *EncodeDayNumber(2014, 7, 1, 8, 0, 0);
    form.LoggerOffTime = *EncodeDayNumber(2014, 7, 1, 9, 0, 0);
    form.LoggerFrequency = 1;
    open();
    edit("OnHourEdit")->setText(QStringLiteral("x"));
    EXPECT_EQ(edit("OnHourEdit")->text(), QString());
    EXPECT_EQ(form.fields[LoggerForm::OnHour], QString());
    EXPECT_TRUE(form.LogDataChanged);
    EXPECT_EQ(rig.view.beeps, 1);
    QAccessibleInterface* hour = QAccessible::queryAccessibleInterface(edit("OnHourEdit"));
    ASSERT_NE(hour, nullptr);
    ASSERT_NE(hour->editableTextInterface(), nullptr);
    hour->editableTextInterface()->insertText(0, QStringLiteral("1a"));
    QAccessible::queryAccessibleInterface(edit("FrequencyEdit"))
        ->setText(QAccessible::Value, QStringLiteral("2.55"));
    EXPECT_EQ(edit("OnHourEdit")->text(), QStringLiteral("1"));
    EXPECT_EQ(edit("FrequencyEdit")->text(), QStringLiteral("2.5"));
    EXPECT_EQ(rig.view.beeps, 3);
    click("OKButt");
    EXPECT_TRUE(rig.view.boxTexts().isEmpty());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(form.LoggerOnTime, *EncodeDayNumber(2014, 7, 1, 1, 0, 0));
    EXPECT_EQ(form.LoggerFrequency, 2.5);
}

TEST_F(LoggerWindow, AnEmptyWindowClosesWithOK)
{
    form.LoggerOnTime = *EncodeDayNumber(2014, 7, 1, 8, 0, 0);
    form.LoggerFrequency = 1;
    form.LogDataValid = true;
    open();
    click("ClearButt");
    EXPECT_TRUE(form.LogDataChanged);
    for (const QString& name : kOnNames + QStringList{"FrequencyEdit"})
        EXPECT_TRUE(edit(name.toLatin1().constData())->text().isEmpty());
    click("OKButt");
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_FALSE(form.LogDataValid);
    EXPECT_EQ(form.LoggerOnTime, 0);
    EXPECT_EQ(form.LoggerFrequency, 0);
}

TEST_F(LoggerWindow, CancelAndEscapeCloseWithoutAChange)
{
    for (const bool escape : {false, true}) {
        open();
        typeInto("OnDayEdit", QStringLiteral("5"));
        ASSERT_TRUE(form.LogDataChanged);
        if (escape)
            QTest::keyClick(edit("OnDayEdit"), Qt::Key_Escape);
        else
            click("CancelButt");
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.result(), QDialog::Rejected);
        EXPECT_FALSE(form.LogDataChanged);
    }
}

TEST_F(LoggerWindow, TheEditButtonHandsAConfirmedScheduleToTheController)
{
    // The recording view opens the real window: the user fills it and OK
    // closes it.
    rig.view.onLoggerWindow = [this] {
        open();
        form.OnDayEditEnter();
        click("NowButt");
        edit("OffDayEdit")->setFocus();
        click("NowButt");
        typeInto("OffMinuteEdit", QStringLiteral("\b\b06"));
        typeInto("FrequencyEdit", QStringLiteral("1.0"));
        click("OKButt");
        return window.result() == QDialog::Accepted && !window.isVisible();
    };
    rig.core.LogEditButtClick();
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(rig.core.logger().LogOnTime(), DateTimeToDayNumber(rig.clock.now()));
    EXPECT_EQ(rig.core.logger().LogOffTime(), DateTimeToDayNumber(rig.clock.now().addSecs(120)));
    EXPECT_EQ(rig.core.logger().LogPeriodTicks(), 5);
    EXPECT_EQ(rig.core.project().ChangeCount(), 1);
}

} // namespace

// Day numbers are wall time: an ON time in the hour the local clocks skip is
// shown as it was entered.
TEST(LoggerUnderDaylightSaving, TheWindowShowsASkippedWallTime)
{
    for (const SkippedWallTime& skipped : skippedWallTimes()) {
        SCOPED_TRACE(skipped.zone.toStdString());
        const ScopedTimeZone zone(skipped.zone);
        ASSERT_TRUE(isSkipped(skipped));
        Rig rig;
        TLoggerFm window{rig.core.loggerForm(), rig.view, rig.clock};
        LoggerForm& form = rig.core.loggerForm();
        form.LoggerOnTime = DateTimeToDayNumber(wallTime(skipped));
        form.LoggerOffTime = DateTimeToDayNumber(wallTime(skipped, 3600));
        window.show();
        QStringList shown;
        for (const char* name : {"OnDayEdit", "OnMonthEdit", "OnYearEdit", "OnHourEdit",
                                 "OnMinuteEdit", "OnSecondEdit"})
            shown.append(window.findChild<QLineEdit*>(QString::fromLatin1(name))->text());
        window.hide();
        EXPECT_EQ(shown.join(QLatin1Char(' ')),
                  wallTime(skipped).toString(QStringLiteral("dd MM yyyy HH mm ss")));
        EXPECT_EQ(form.CheckTheLogData(), QStringLiteral("Error: Missing frequency"));
    }
}
