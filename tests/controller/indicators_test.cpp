// SPDX-License-Identifier: GPL-3.0-or-later
#include "controller/lamppictures.h"
#include "help/helpwindow.h"
#include "support/stranger.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QtTest/QTest>

#include <sys/stat.h>

namespace {

using namespace lamppictures;

constexpr QPoint kFacePixel{5, 5};

QRgb rgb(QRgb pixel)
{
    return pixel | 0xFF000000;
}

// The colour in the middle of a lamp glyph as a button draws it.
QColor lampCentre(QAbstractButton* button)
{
    const QImage image = button->icon().pixmap(QSize(16, 16)).toImage();
    return image.pixelColor(8, 8);
}

using Indicators = WindowTest;

TEST_F(Indicators, RelayFacesFollowTheConfirmedRelayWord)
{
    startAndActivate();
    for (int relay = 1; relay <= 16; ++relay)
        EXPECT_EQ(rendered(relayIndicatorName(relay)).pixel(kFacePixel), kBrightRed) << relay;

    core().requestRelays(0x8001, 0xFFFF, Controller::Source::Manual);
    cycle(1); // the board echoes the relay command, the indicators follow
    for (int relay = 1; relay <= 16; ++relay) {
        SCOPED_TRACE(relay);
        const bool on = relay == 1 || relay == 16;
        const QString name = relayIndicatorName(relay);
        EXPECT_EQ(rendered(name).pixel(kFacePixel), on ? kBrightGreen : kBrightRed);
        EXPECT_EQ(find(name)->accessibleName(),
                  QStringLiteral("Relay %1, %2")
                      .arg(relay, 2, 10, QLatin1Char('0'))
                      .arg(on ? QStringLiteral("on") : QStringLiteral("off")));
    }

    core().ResetSerial();
    for (int relay = 1; relay <= 16; ++relay) {
        SCOPED_TRACE(relay);
        EXPECT_EQ(rendered(relayIndicatorName(relay)).pixel(kFacePixel), kDarkRed);
        EXPECT_TRUE(
            find(relayIndicatorName(relay))->accessibleName().endsWith(QStringLiteral(", idle")));
    }
}

TEST_F(Indicators, IndicatorsCopyTheHiddenTemplates)
{
    for (const char* name : {"OnImage", "OffImage", "AllOffImage"}) {
        auto* templ = find<QLabel>(QString::fromLatin1(name));
        EXPECT_FALSE(templ->isVisibleTo(&window)) << name;
        EXPECT_EQ(templ->property("tag").toInt(), 100);
        EXPECT_EQ(templ->geometry().left(), 448);
    }
    EXPECT_EQ(find<QLabel>(QStringLiteral("OnImage"))->pixmap().toImage().pixel(kFacePixel),
              kBrightGreen);
    EXPECT_EQ(find<QLabel>(QStringLiteral("OffImage"))->pixmap().toImage().pixel(kFacePixel),
              kBrightRed);
    EXPECT_EQ(find<QLabel>(QStringLiteral("AllOffImage"))->pixmap().toImage().pixel(kFacePixel),
              kDarkRed);
    for (int relay = 1; relay <= 16; ++relay)
        EXPECT_EQ(find(relayIndicatorName(relay))->property("tag").toInt(), relay - 1);
    for (int input = 1; input <= 6; ++input)
        EXPECT_EQ(find(inputIndicatorName(input))->property("tag").toInt(), 20 + input - 1);
    EXPECT_EQ(find(QStringLiteral("LedImage"))->property("tag").toInt(), 100);
}

TEST_F(Indicators, InputLampsAreDarkAtDesign)
{
    for (int input = 1; input <= 6; ++input) {
        const QImage picture = rendered(inputIndicatorName(input));
        EXPECT_EQ(picture.pixel(kInputLowLamp), kDarkRed) << input;
        EXPECT_EQ(picture.pixel(kInputHighLamp), kDarkGreen) << input;
    }
}

TEST_F(Indicators, EachInputHighAndLowRecoloursOnlyItsOwnLamps)
{
    tick();
    for (int input = 1; input <= 6; ++input) {
        for (bool high : {true, false}) {
            for (int repeat = 0; repeat < 2; ++repeat) {
                SCOPED_TRACE(::testing::Message()
                             << "input " << input << (high ? " high" : " low") << " #" << repeat);
                core().poll().takeInputs(high ? 1 << (input - 1) : 0);
                core().UpdatePortInIndicators();
                for (int other = 1; other <= 6; ++other) {
                    const bool isHigh = high && other == input;
                    const QImage picture = rendered(inputIndicatorName(other));
                    EXPECT_EQ(picture.pixel(kInputLowLamp), isHigh ? kDarkRed : kBrightRed);
                    EXPECT_EQ(picture.pixel(kInputHighLamp), isHigh ? kBrightGreen : kDarkGreen);
                    // The arrows and the outline are left as they are.
                    EXPECT_EQ(rgb(picture.pixel(8, 5)), 0xFF000000u);
                    EXPECT_EQ(rgb(picture.pixel(28, 7)), 0xFF000000u);
                    EXPECT_EQ(picture.pixel(0, 5), 0xFF282828u);
                    EXPECT_EQ(find(inputIndicatorName(other))->accessibleName(),
                              QStringLiteral("Input %1, %2")
                                  .arg(other)
                                  .arg(isHigh ? QStringLiteral("high") : QStringLiteral("low")));
                }
            }
        }
    }
}

TEST_F(Indicators, TheBoardsInputReplyRecolours)
{
    startAndActivate();
    link.inputDigits = "05"; // inputs 1 and 3 high
    cycle(1);
    ASSERT_EQ(core().poll().PortIn(), 5);
    for (int input = 1; input <= 6; ++input) {
        const bool high = input == 1 || input == 3;
        EXPECT_EQ(rendered(inputIndicatorName(input)).pixel(kInputHighLamp),
                  high ? kBrightGreen : kDarkGreen)
            << input;
    }
    EXPECT_EQ(find(inputIndicatorName(3))->accessibleName(), QStringLiteral("Input 3, high"));
}

TEST_F(Indicators, SwitchLampsAndTheirNamesFollowTheState)
{
    const struct
    {
        View::Lamp lamp;
        const char* button;
        const char* name;
    } switches[] = {
        {View::Lamp::Activate, "ActiveButt", "Activate"},
        {View::Lamp::Timers, "TimerSB", "TIMERS switch"},
        {View::Lamp::InputRules, "InputRulesSB", "INPUT RULES switch"},
        {View::Lamp::LogTimer, "InputLogSB", "Log Timer switch"},
        {View::Lamp::LogNow, "InputNowSB", "Log Now switch"},
    };
    for (const auto& s : switches) {
        SCOPED_TRACE(s.name);
        auto* button = find<QAbstractButton>(QString::fromLatin1(s.button));
        EXPECT_EQ(button->accessibleName(), QStringLiteral("%1, off").arg(QLatin1String(s.name)));
        const QColor off = lampCentre(button);
        window.setLamp(s.lamp, true);
        EXPECT_EQ(button->accessibleName(), QStringLiteral("%1, on").arg(QLatin1String(s.name)));
        const QColor on = lampCentre(button);
        EXPECT_GT(on.red(), 200); // bright magenta
        EXPECT_GT(on.blue(), 200);
        EXPECT_LT(off.red(), 170); // dark purple
        EXPECT_LT(off.blue(), 170);
        window.setLamp(s.lamp, false);
        EXPECT_EQ(lampCentre(button), off);
    }
}

TEST_F(Indicators, ActivityLampLightsAndDarkensByFloodFill)
{
    const auto lamp = [this] { return rendered(QStringLiteral("LedImage")); };
    EXPECT_EQ(lamp().pixel(kActivityLamp), kDarkRed);
    for (int repeat = 0; repeat < 2; ++repeat) {
        window.setLamp(View::Lamp::Activity, true);
        EXPECT_EQ(lamp().pixel(kActivityLamp), kBrightRed);
        EXPECT_EQ(lamp().pixel(6, 3), kBrightRed);
        EXPECT_EQ(rgb(lamp().pixel(2, 2)), 0xFFFFFFFFu); // the highlight stays white
        EXPECT_EQ(find(QStringLiteral("LedImage"))->accessibleName(),
                  QStringLiteral("Logger activity lamp, on"));
    }
    window.setLamp(View::Lamp::Activity, false);
    window.setLamp(View::Lamp::Activity, false);
    EXPECT_EQ(lamp().pixel(kActivityLamp), kDarkRed);
}

TEST_F(Indicators, SetButtonsShowGreenWhenSetAndRedWhenClear)
{
    startAndActivate();
    auto* button = find<QToolButton>(setButtonName(16));
    EXPECT_EQ(button->accessibleName(), QStringLiteral("SET relay 16, clear"));
    EXPECT_GT(lampCentre(button).red(), 200);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(core().PortSet, 0x8000);
    EXPECT_EQ(button->accessibleName(), QStringLiteral("SET relay 16, set"));
    EXPECT_GT(lampCentre(button).green(), 200);
    EXPECT_LT(lampCentre(button).red(), 100);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(core().PortSet, 0);
    EXPECT_EQ(button->accessibleName(), QStringLiteral("SET relay 16, clear"));
}

TEST_F(Indicators, EveryButtonReachesItsHandler)
{
    startAndActivate();
    for (int relay = 1; relay <= 16; ++relay)
        QTest::mouseClick(find<QToolButton>(setButtonName(relay)), Qt::LeftButton);
    EXPECT_EQ(core().PortSet, 0xFFFF);
    QTest::mouseClick(find<QToolButton>(setButtonName(9)), Qt::LeftButton);
    QTest::mouseClick(find<QPushButton>(QStringLiteral("WriteButt")), Qt::LeftButton);
    EXPECT_EQ(core().poll().PortOut(), 0xFEFF);
    QTest::mouseClick(find<QPushButton>(QStringLiteral("ClearAllButt")), Qt::LeftButton);
    EXPECT_EQ(core().poll().PortOut(), 0);
    QTest::mouseClick(find<QPushButton>(QStringLiteral("SetAllButt")), Qt::LeftButton);
    EXPECT_EQ(core().poll().PortOut(), 0xFFFF);
    QTest::mouseClick(find<QPushButton>(QStringLiteral("ActiveButt")), Qt::LeftButton);
    EXPECT_TRUE(core().poll().CloseRequested());

    // A double click on the status bar opens the port dialog, as Port -> Set.
    bool portDialogShown = false;
    QTimer::singleShot(0, &desktop.portFm, [&] {
        portDialogShown = desktop.portFm.isVisible();
        desktop.portFm.reject();
    });
    QTest::mouseDClick(find(QStringLiteral("StatusPanel1")), Qt::LeftButton);
    EXPECT_TRUE(portDialogShown);
    EXPECT_EQ(find<QLabel>(QStringLiteral("StatusPanel1"))->text(),
              QStringLiteral("Communications idle"));
}

TEST_F(Indicators, SetAllAndClearAllLightWhileHeldEvenWhenIdle)
{
    tick();
    ASSERT_FALSE(core().poll().SystemActive());
    for (const char* name : {"SetAllButt", "ClearAllButt"}) {
        SCOPED_TRACE(name);
        auto* button = find<QPushButton>(QString::fromLatin1(name));
        const bool green = QLatin1String(name) == QLatin1String("SetAllButt");
        const auto level = [&] {
            const QColor c = lampCentre(button);
            return green ? c.green() : c.red();
        };
        const int rest = level();
        EXPECT_LT(rest, 170);
        QTest::mousePress(button, Qt::RightButton);
        EXPECT_GT(level(), 200);
        QTest::mouseRelease(button, Qt::RightButton);
        EXPECT_EQ(level(), rest);
        QTest::mousePress(button, Qt::LeftButton);
        EXPECT_GT(level(), 200);
        QTest::mouseRelease(button, Qt::LeftButton);
        EXPECT_EQ(level(), rest);
    }
    EXPECT_EQ(core().poll().PortOut(), 0);
    EXPECT_EQ(find<QLabel>(QStringLiteral("StatusPanel1"))->text(), QStringLiteral("Ready"));
}

TEST_F(Indicators, StatusPanelsAndCountLabelShowTheirTexts)
{
    EXPECT_EQ(find<QLabel>(QStringLiteral("StatusPanel0"))->text(), QStringLiteral("COM x"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("StatusPanel1"))->text(), QStringLiteral("Ready"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("CountLabel"))->text(),
              QStringLiteral("Count:        0"));
    window.setStatusText(View::Panel::Message, QStringLiteral("Write relay data"));
    window.setCountLabel(QStringLiteral("Count:       12"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("StatusPanel1"))->text(),
              QStringLiteral("Write relay data"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("CountLabel"))->text(),
              QStringLiteral("Count:       12"));
    for (int relay = 1; relay <= 16; ++relay)
        EXPECT_EQ(find(relayIndicatorName(relay))->toolTip(), QStringLiteral("Read digital IO 0"));
    for (int input = 1; input <= 6; ++input)
        EXPECT_EQ(find(inputIndicatorName(input))->toolTip(), QStringLiteral("Read digital IO 0"));
}

TEST_F(Indicators, MenuItemsCarryTheirNamesAndCaptions)
{
    const struct
    {
        const char* name;
        const char* text;
    } items[] = {{"Load1", "&Load"},
                 {"Save1", "&Save"},
                 {"Exit2", "E&xit"},
                 {"Set1", "&Set"},
                 {"Contents1", "&Contents"}};
    for (const auto& item : items) {
        auto* action = window.findChild<QAction*>(QString::fromLatin1(item.name));
        ASSERT_NE(action, nullptr) << item.name;
        EXPECT_EQ(action->text(), QString::fromLatin1(item.text));
    }
}

} // namespace

namespace {

struct DialogSeen
{
    QString title;
    QStringList filters;
    QString suffix;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    bool confirmsOverwrite = false;
};

using FileDialogs = WindowTest;

TEST_F(FileDialogs, TitlesFiltersSuffixesAndOverwritePrompts)
{
    const struct
    {
        View::FileDialog dialog;
        const char* title;
        const char* filter;
        const char* suffix;
        QFileDialog::AcceptMode mode;
    } dialogs[] = {
        {View::FileDialog::SaveLog, "Save Log File", "Log Files (*.txt)", "txt",
         QFileDialog::AcceptSave},
        {View::FileDialog::OpenProject, "Load IO Module Data", "IO Module Files (*.iom)", "iom",
         QFileDialog::AcceptOpen},
        {View::FileDialog::SaveProject, "Save IO Module Data", "IO Module Files (*.iom)", "iom",
         QFileDialog::AcceptSave},
    };
    for (const auto& d : dialogs) {
        SCOPED_TRACE(d.title);
        DialogSeen seen;
        // Looks at the dialog from inside its own loop and cancels it; the
        // checks come after it has closed.
        QTimer::singleShot(0, &window, [&seen] {
            auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen.title = box->windowTitle();
            seen.filters = box->nameFilters();
            seen.suffix = box->defaultSuffix();
            seen.mode = box->acceptMode();
            seen.confirmsOverwrite = !box->testOption(QFileDialog::DontConfirmOverwrite);
            box->reject();
        });
        EXPECT_TRUE(window.chooseFile(d.dialog).isEmpty()); // cancelled
        EXPECT_EQ(seen.title, QString::fromLatin1(d.title));
        EXPECT_EQ(seen.filters,
                  (QStringList{QString::fromLatin1(d.filter), QStringLiteral("All Files (*)")}));
        EXPECT_EQ(seen.suffix, QString::fromLatin1(d.suffix));
        EXPECT_EQ(seen.mode, d.mode);
        EXPECT_TRUE(seen.confirmsOverwrite);
    }
}

// Asked to save over a link, the dialog names the file that will really be
// replaced, not the link.
TEST_F(FileDialogs, TheOverwriteQuestionNamesTheFileALinkLeadsTo)
{
    const QString real = folder.filePath(QStringLiteral("real.txt"));
    const QString link = folder.filePath(QStringLiteral("link.txt"));
    {
        QFile file(real);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::link(real, link));
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        QString question;
        QTimer::singleShot(0, &window, [&question, &link, answer] {
            auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!box)
                return;
            // Answers from inside the question's own loop.
            QTimer::singleShot(0, box, [&question, answer] {
                auto* ask = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!ask)
                    return;
                question = ask->text();
                ask->button(answer)->click();
            });
            box->selectFile(link);
            box->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
            if (box->isVisible())
                box->reject();
        });
        const QString chosen = window.chooseFile(View::FileDialog::SaveLog);
        EXPECT_EQ(question, real + QStringLiteral(" already exists.\nDo you want to replace it?"));
        EXPECT_EQ(chosen, answer == QMessageBox::Yes ? link : QString());
    }
}

// A file reached through a link to a folder that another user planted in a
// shared folder is not replaced: the dialog asks nothing about it, and the
// save then says that it cannot create the file.
TEST_F(FileDialogs, NoOverwriteQuestionForAFileBehindAPlantedFolderLink)
{
    if (!stranger::canGiveAway())
        GTEST_SKIP() << "only root can make a link of another user";
    const QString shared = folder.filePath(QStringLiteral("shared"));
    const QString home = folder.filePath(QStringLiteral("home"));
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_TRUE(QDir().mkdir(home));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    {
        QFile file(home + QStringLiteral("/notes.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString planted = shared + QStringLiteral("/d");
    ASSERT_TRUE(QFile::link(home, planted));
    ASSERT_TRUE(stranger::giveAway(planted));
    const QString chosen = planted + QStringLiteral("/notes.txt");
    QStringList questions;
    QTimer::singleShot(0, &window, [&questions, &chosen] {
        auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!box)
            return;
        QTimer::singleShot(0, box, [&questions] {
            auto* ask = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!ask)
                return;
            questions.append(ask->text());
            ask->button(QMessageBox::No)->click();
        });
        box->selectFile(chosen);
        box->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
        if (box->isVisible())
            box->reject();
    });
    EXPECT_EQ(window.chooseFile(View::FileDialog::SaveLog), chosen);
    EXPECT_TRUE(questions.isEmpty()) << questions.join(QLatin1Char('|')).toStdString();
}

} // namespace

namespace {

using HelpMenu = WindowTest;

TEST_F(HelpMenu, ContentsOpensTheHelpWindowModally)
{
    THelpFm& help = desktop.helpFm;
    bool shownModally = false;
    QTimer::singleShot(0, &help, [&] {
        shownModally = help.isVisible() && QApplication::activeModalWidget() == &help;
        help.accept();
    });
    window.findChild<QAction*>(QStringLiteral("Contents1"))->trigger();
    EXPECT_TRUE(shownModally);
    EXPECT_FALSE(help.isVisible());
}

} // namespace
