// SPDX-License-Identifier: GPL-3.0-or-later
#include "safety/boardsettings.h"
#include "support/rig.h"
#include "timers/chanform.h"
#include "timers/chanwindow.h"
#include "timertest.h"

#include <QAccessible>
#include <QAccessibleEditableTextInterface>
#include <QCheckBox>
#include <QClipboard>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

constexpr int kBrowsingClient = ChanForm::kBrowsingHeight - TChanFm::kFrameHeight;
constexpr int kEditingClient = ChanForm::kEditingHeight - TChanFm::kFrameHeight;

class ChanWindow : public ::testing::Test
{
protected:
    template <typename W = QWidget> W* child(const char* name)
    {
        auto* widget = window.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    void type(const char* name, const QString& keys)
    {
        auto* edit = child<QLineEdit>(name);
        edit->setFocus();
        QTest::keyClicks(edit, keys);
    }

    Rig rig;
    TChanFm window{rig.core.chanForm(), rig.view};
};

} // namespace

TEST_F(ChanWindow, ControlsCarryTheirNamesAndTags)
{
    struct Expected
    {
        const char* name;
        int tag;
        QRect geometry;
    };
    const QList<Expected> fields{
        {"ChannelEdit", 200, {77, 4, 25, 21}},     {"OnDayEdit", 0, {6, 19, 32, 21}},
        {"OnMonthEdit", 1, {46, 19, 32, 21}},      {"OnYearEdit", 2, {85, 19, 40, 21}},
        {"OnHourEdit", 3, {156, 44, 32, 21}},      {"OnMinuteEdit", 4, {196, 44, 32, 21}},
        {"OnSecondEdit", 5, {236, 44, 32, 21}},    {"OffDayEdit", 7, {6, 75, 32, 21}},
        {"OffMonthEdit", 8, {46, 75, 32, 21}},     {"OffYearEdit", 9, {85, 75, 40, 21}},
        {"OffHourEdit", 10, {156, 100, 32, 21}},   {"OffMinuteEdit", 11, {196, 100, 32, 21}},
        {"OffSecondedit", 12, {236, 100, 32, 21}}, {"TogOnEdit", 100, {275, 44, 97, 21}},
        {"TogOffEdit", 100, {275, 100, 97, 21}},
    };
    for (const Expected& e : fields) {
        SCOPED_TRACE(e.name);
        auto* edit = child<QLineEdit>(e.name);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->property("Tag").toInt(), e.tag);
        EXPECT_EQ(edit->geometry(), e.geometry);
    }
    EXPECT_EQ(child<QLineEdit>("OnYearEdit")->maxLength(), 4);
    EXPECT_EQ(child<QLineEdit>("ChannelEdit")->text(), QStringLiteral("01"));
    for (const char* box : {"SunCB", "MonCB", "TueCB", "WedCB", "ThuCB", "FriCB", "SatCB"})
        EXPECT_EQ(child<QCheckBox>(box)->property("Tag").toInt(), 0) << box;
    EXPECT_EQ(child<QCheckBox>("DuplicateCB")->property("Tag").toInt(), 100);
    EXPECT_EQ(child<QCheckBox>("DuplicateCB")->text(),
              QStringLiteral("Duplicate data to new fields"));
    const QList<std::pair<const char*, QRect>> buttons{
        {"NowButt", {27, 136, 75, 25}},       {"ClearButt", {42, 80, 75, 25}},
        {"EnterButt", {202, 136, 75, 25}},    {"EditCancelButt", {329, 136, 75, 25}},
        {"NewButt", {28, 180, 75, 25}},       {"EditButt", {114, 180, 75, 25}},
        {"DeleteButt", {201, 180, 75, 25}},   {"OKButt", {329, 180, 75, 25}},
        {"PrevButt", {28, 226, 75, 25}},      {"NextButt", {114, 226, 75, 25}},
        {"ClearAllButt", {200, 226, 75, 25}}, {"CancelButt", {328, 226, 75, 25}},
    };
    for (const auto& [name, geometry] : buttons)
        EXPECT_EQ(child<QPushButton>(name)->geometry(), geometry) << name;
    EXPECT_EQ(child<QPushButton>("ClearAllButt")->text(), QStringLiteral("Delete All"));
    EXPECT_EQ(child<QFrame>("EditsPanel")->geometry(), QRect(0, 0, 419, 173));
    EXPECT_EQ(child<QWidget>("YMDpanel")->geometry(), QRect(25, 25, 129, 103));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("V217 Relay Timer Details"));
}

TEST_F(ChanWindow, BothModesAndTheDatePanel)
{
    rig.core.chanForm().EditList = kRelay5Record;
    window.show();
    EXPECT_EQ(window.width(), 419);
    EXPECT_EQ(window.height(), kBrowsingClient);
    EXPECT_FALSE(child<QFrame>("EditsPanel")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("EnterButt")->isEnabled());
    EXPECT_EQ(child<QLineEdit>("OnHourEdit")->text(), QStringLiteral("17"));

    click("NewButt");
    EXPECT_EQ(window.height(), kEditingClient);
    EXPECT_TRUE(child<QFrame>("EditsPanel")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("NowButt")->isEnabled());
    EXPECT_EQ(child<QLabel>("RecNumLabel")->text(), QStringLiteral("1"));
    EXPECT_TRUE(child<QLineEdit>("OnHourEdit")->text().isEmpty());

    QTest::mouseClick(child<QCheckBox>("WedCB"), Qt::LeftButton);
    EXPECT_EQ(child<QWidget>("YMDpanel")->x(), 600);
    EXPECT_FALSE(child<QLineEdit>("OnDayEdit")->isEnabled());
    QTest::mouseClick(child<QCheckBox>("WedCB"), Qt::LeftButton);
    EXPECT_EQ(child<QWidget>("YMDpanel")->x(), 25);
    EXPECT_TRUE(child<QLineEdit>("OnDayEdit")->isEnabled());

    click("EditCancelButt");
    EXPECT_EQ(window.height(), kBrowsingClient);
    EXPECT_EQ(child<QLineEdit>("OnHourEdit")->text(), QStringLiteral("17"));
    window.hide();
    EXPECT_FALSE(rig.core.chanForm().Timer1Enabled);
}

TEST_F(ChanWindow, KeyFiltersOnTheFields)
{
    window.show();
    click("NewButt");
    type("TogOnEdit", "1.3");
    EXPECT_EQ(child<QLineEdit>("TogOnEdit")->text(), QStringLiteral("1."));
    type("TogOffEdit", "1.46");
    EXPECT_EQ(child<QLineEdit>("TogOffEdit")->text(), QStringLiteral("1.4"));
    type("OnDayEdit", "1x2");
    EXPECT_EQ(child<QLineEdit>("OnDayEdit")->text(), QStringLiteral("12"));
    EXPECT_EQ(rig.view.beeps, 3);
    QTest::keyClick(child<QLineEdit>("OnDayEdit"), Qt::Key_Backspace);
    EXPECT_EQ(rig.core.chanForm().TimeEdits.at(0), QStringLiteral("1"));
    EXPECT_EQ(rig.core.chanForm().TogOnEdit, QStringLiteral("1."));
    // Enter in a field presses no button: the window stays open, editing.
    QTest::keyClick(child<QLineEdit>("OnDayEdit"), Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.height(), kEditingClient);
    // A paste is typed through the same filter.
    QApplication::clipboard()->setText(QStringLiteral("2.8x"));
    auto* togOff = child<QLineEdit>("TogOffEdit");
    togOff->setFocus();
    togOff->clear();
    QTest::keyClick(togOff, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(togOff->text(), QStringLiteral("2.8"));
    EXPECT_EQ(rig.core.chanForm().TogOffEdit, QStringLiteral("2.8"));
    EXPECT_EQ(rig.view.beeps, 4);
    // Focus in an OFF field makes Now fill the OFF group.
    child<QLineEdit>("OffMinuteEdit")->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(rig.core.chanForm().FocusTag, 11);
}

TEST_F(ChanWindow, ALongPasteIsCutToWhatTheFieldHolds)
{
    window.show();
    click("NewButt");
    auto* togOn = child<QLineEdit>("TogOnEdit");
    togOn->setFocus();
    // A megabyte the filter mostly refuses: judged in one pass, one beep.
    QApplication::clipboard()->setText(QStringLiteral("x.4").repeated(350000));
    QTest::keyClick(togOn, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(togOn->text(), QStringLiteral(".4"));
    EXPECT_EQ(rig.core.chanForm().TogOnEdit, QStringLiteral(".4"));
    EXPECT_EQ(rig.view.beeps, 1);
    togOn->clear();
    // Then 1 MB of digits: the field takes its fill and the refused "x" beyond it
    // is never judged.
    QApplication::clipboard()->setText(QString(1 << 20, QLatin1Char('1')) + QStringLiteral("x"));
    QTest::keyClick(togOn, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(togOn->text(), QString(togOn->maxLength(), QLatin1Char('1')));
    EXPECT_EQ(rig.core.chanForm().TogOnEdit, togOn->text());
    EXPECT_EQ(rig.view.beeps, 1);
}

// An assistive technology or an automation tool sets a field's text with
// setText; the form follows it, so the next keystroke keeps it.
TEST_F(ChanWindow, TextsSetFromOutsideReachTheFormThroughTheFilter)
{
    window.show();
    click("NewButt");
    auto* togOn = child<QLineEdit>("TogOnEdit");
    togOn->setText(QStringLiteral("1.4"));
    type("OnDayEdit", QStringLiteral("1"));
    EXPECT_EQ(togOn->text(), QStringLiteral("1.4"));
    EXPECT_EQ(rig.core.chanForm().TogOnEdit, QStringLiteral("1.4"));

    // The text is judged as if typed into the empty field.
    togOn->setText(QStringLiteral("2.3x"));
    EXPECT_EQ(togOn->text(), QStringLiteral("2."));
    EXPECT_EQ(rig.core.chanForm().TogOnEdit, QStringLiteral("2."));
    EXPECT_EQ(rig.view.beeps, 1);

    QAccessibleInterface* hour =
        QAccessible::queryAccessibleInterface(child<QLineEdit>("OnHourEdit"));
    ASSERT_NE(hour, nullptr);
    ASSERT_NE(hour->editableTextInterface(), nullptr);
    hour->editableTextInterface()->insertText(0, QStringLiteral("17"));
    hour->setText(QAccessible::Value, QStringLiteral("18"));
    auto* channel = child<QLineEdit>("ChannelEdit");
    QAccessible::queryAccessibleInterface(channel)->editableTextInterface()->replaceText(
        0, 2, QStringLiteral("a5"));
    type("OnMinuteEdit", QStringLiteral("3"));
    EXPECT_EQ(child<QLineEdit>("OnHourEdit")->text(), QStringLiteral("18"));
    EXPECT_EQ(rig.core.chanForm().TimeEdits.at(ChanForm::kOnHourTag), QStringLiteral("18"));
    EXPECT_EQ(channel->text(), QStringLiteral("5"));
    EXPECT_EQ(rig.core.chanForm().ChannelEdit, QStringLiteral("5"));
    EXPECT_EQ(rig.view.beeps, 2);
}

TEST_F(ChanWindow, TheRecordNumberStandsApartFromItsCaption)
{
    QLabel* caption = nullptr;
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->text() == QStringLiteral("Record Number"))
            caption = label;
    }
    ASSERT_NE(caption, nullptr);
    auto* number = child<QLabel>("RecNumLabel");
    EXPECT_EQ(number->text(), QStringLiteral("0"));
    EXPECT_GE(number->x(), caption->geometry().right() + 1 +
                               caption->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    EXPECT_LE(number->geometry().right(), child<QLabel>("TimeLabel")->x());
}

// What a user does: a daily record for relay 5 from one minute after now,
// toggling 0.4 / 0.4, TIMERS on, Activate; relay 5 toggles in its window.
TEST_F(ChanWindow, AUserEntersARecordAndWatchesTheRelayToggle)
{
    rig.startUp();
    rig.view.boxes.clear();
    rig.clock.set(at(2014, 7, 3, 12, 0));
    bool driven = false;
    rig.view.onTimerEditor = [&] {
        QTimer::singleShot(0, &window, [&] {
            click("NewButt");
            auto* channel = child<QLineEdit>("ChannelEdit");
            channel->setFocus();
            channel->selectAll();
            QTest::keyClicks(channel, "05");
            for (const char* box : {"SunCB", "MonCB", "TueCB", "WedCB", "ThuCB", "FriCB", "SatCB"})
                QTest::mouseClick(child<QCheckBox>(box), Qt::LeftButton);
            type("OnHourEdit", "12");
            type("OnMinuteEdit", "01");
            type("OnSecondEdit", "00");
            type("OffHourEdit", "12");
            type("OffMinuteEdit", "05");
            type("OffSecondedit", "00");
            type("TogOnEdit", "0.4");
            type("TogOffEdit", "0.4");
            click("EnterButt");
            driven = true;
            // Always close the window; the test judges after exec().
            click("OKButt");
            if (window.isVisible())
                window.reject();
        });
        return window.exec() == QDialog::Accepted;
    };
    rig.core.OutEditButtClick();
    ASSERT_TRUE(driven);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(rig.core.timers().TimerList(),
              (QStringList{"05", "37257.5006944444", "37257.5034722222", "0.4", "0.4", "1111111",
                           "0", "0", "0.4"}));
    EXPECT_EQ(rig.core.project().ChangeCount(), 1);

    rig.core.TimerSBClick();
    rig.core.ActiveButtClick();
    rig.link.autoReply = true;
    QString relay5;
    for (int tick = 0; tick < 2 * 310; ++tick) { // 62 s
        rig.tick();
        if (rig.link.written.last().startsWith('R'))
            relay5 += rig.link.written.last() == "R0010\r" ? QLatin1Char('1') : QLatin1Char('0');
        rig.link.deliver();
        rig.clock.advanceMs(100);
    }
    EXPECT_EQ(relay5.left(300), QString(300, QLatin1Char('0')));
    EXPECT_EQ(relay5.mid(300), QStringLiteral("1100110011"));
    EXPECT_EQ(rig.view.relayWord, 0x0010);
}

TEST_F(ChanWindow, CancelAndTheCloseBoxKeepTheList)
{
    rig.core.timers().setTimerList(kRelay5Record);
    for (const bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox);
        rig.view.onTimerEditor = [&] {
            QTimer::singleShot(0, &window, [&] {
                click("DeleteButt");
                if (closeBox)
                    window.close();
                else
                    click("CancelButt");
                if (window.isVisible())
                    window.reject();
            });
            return window.exec() == QDialog::Accepted;
        };
        rig.core.OutEditButtClick();
        EXPECT_EQ(rig.core.timers().TimerList(), kRelay5Record);
        EXPECT_EQ(rig.core.project().ChangeCount(), 0);
    }
}

// With interlock groups, OK asks about records that switch relays of one
// group on together: Yes goes on editing, No closes with the records.
TEST_F(ChanWindow, OkAsksAboutRecordsTheBoardsSettingsWarnOf)
{
    safety::BoardSettings settings;
    settings.interlocks = {0x0003};
    window.setBoardSettings(settings);
    rig.clock.set(QDateTime(QDate(2026, 3, 2), QTime(12, 0)));
    window.show();
    const auto tuesday = [](const QString& relay, int from, int to) {
        return dateRecord(relay, at(2002, 1, 1, from, 0), at(2002, 1, 1, to, 0), "0010000");
    };
    rig.core.chanForm().EditList = tuesday("01", 8, 10) + tuesday("02", 9, 11);
    rig.view.answers = {View::Answer::Yes, View::Answer::No};
    click("OKButt");
    EXPECT_TRUE(window.isVisible());
    click("OKButt");
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted);
    ASSERT_EQ(rig.view.boxes.size(), 2);
    EXPECT_EQ(rig.view.boxes.at(0).text.toStdString(),
              "Timer records have warnings.\r\rrecords 0 and 1 overlap on Tue 09:00-10:00 in "
              "interlock group 01,02\r\rIf you choose to exit, the records will be used as they "
              "are.\r\rContinue?");
    EXPECT_EQ(rig.view.boxes.at(0).escape, View::Answer::Yes);

    // Without groups OK closes at once, as it always has.
    window.setBoardSettings({});
    window.show();
    rig.core.chanForm().EditList = tuesday("01", 8, 10) + tuesday("02", 9, 11);
    click("OKButt");
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(rig.view.boxes.size(), 2);
}
