// SPDX-License-Identifier: GPL-3.0-or-later
// Port -> Board, driven through its widgets: what it shows, typing and
// choosing with the keyboard, the problems it refuses OK for, and a save
// that fails.
#include "desktop/boardconf.h"
#include "desktop/boardwindow.h"
#include "support/rig.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

using namespace std::chrono_literals;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Files may grow to a few bytes only while it lives; a longer write stops
// half-way with EFBIG, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    [[nodiscard]] bool set() const { return m_set; }

private:
    rlimit m_old{};
    bool m_set = false;
    void (*m_oldHandler)(int) = nullptr;
};

const QByteArray kFile = "relay-02-name = Pump\n"
                         "relay-03-max-on = 20min\n"
                         "input-3-name = Float switch\n"
                         "input-3-debounce = 3\n"
                         "interlock = 01,02\n"
                         "start-state = last\n";

class BoardWindowTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    void open(const QByteArray& bytes)
    {
        ASSERT_TRUE(writeAll(path, bytes));
        board.load();
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    template <typename T = QWidget> T* field(const QString& name)
    {
        T* widget = window.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << qPrintable(name);
        return widget;
    }
    QLineEdit* edit(const QString& name) { return field<QLineEdit>(name); }
    // Types into a field through the keyboard, replacing its text.
    void type(const QString& name, const QString& text)
    {
        QLineEdit* line = edit(name);
        line->setFocus();
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Delete);
        QTest::keyClicks(line, text);
    }
    [[nodiscard]] QString problems()
    {
        return field<QLabel>(QStringLiteral("ProblemLabel"))->text();
    }

    Rig rig;
    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("board.conf"));
    QList<safety::BoardSettings> applied;
    DesktopBoard board{path, [this](const safety::BoardSettings& s) { applied.append(s); },
                       rig.view, [] { return true; }};
    BoardWindow window{board, rig.view};
};

// The window shows what runs; typing, choosing group numbers and Enter save
// board.conf (the start state kept) and apply it at once.
TEST_F(BoardWindowTest, ShowsWhatRunsAndEnterSavesAndAppliesWhatIsTyped)
{
    open(kFile);
    applied.clear();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Board"));
    EXPECT_EQ(edit(QStringLiteral("RelayName02"))->text(), QStringLiteral("Pump"));
    EXPECT_EQ(edit(QStringLiteral("RelayName01"))->text(), QString());
    EXPECT_EQ(edit(QStringLiteral("RelayMaxOn03"))->text(), QStringLiteral("20min"));
    EXPECT_EQ(edit(QStringLiteral("RelayMaxOn01"))->placeholderText(), QStringLiteral("no limit"));
    EXPECT_EQ(field<QComboBox>(QStringLiteral("RelayGroup01"))->currentText(), QStringLiteral("1"));
    EXPECT_EQ(field<QComboBox>(QStringLiteral("RelayGroup02"))->currentText(), QStringLiteral("1"));
    EXPECT_EQ(field<QComboBox>(QStringLiteral("RelayGroup03"))->currentText(),
              QStringLiteral("none"));
    EXPECT_EQ(edit(QStringLiteral("InputName3"))->text(), QStringLiteral("Float switch"));
    EXPECT_EQ(field<QSpinBox>(QStringLiteral("InputDebounce3"))->value(), 3);
    EXPECT_EQ(field<QSpinBox>(QStringLiteral("InputDebounce1"))->text(), QStringLiteral("none"));
    EXPECT_EQ(edit(QStringLiteral("DeadTimeEdit"))->text(), QStringLiteral("200ms"));
    EXPECT_EQ(field<QLabel>(QStringLiteral("InterlockLine"))->text(),
              QStringLiteral("Interlocked: 01,02"));
    EXPECT_EQ(field<QLabel>(QStringLiteral("FileState"))->text(),
              QStringLiteral("Saved in %1.").arg(path));
    EXPECT_FALSE(field<QLabel>(QStringLiteral("ProblemLabel"))->isVisible());

    type(QStringLiteral("RelayName05"), QStringLiteral("  Heater "));
    type(QStringLiteral("RelayMaxOn05"), QStringLiteral("2h"));
    for (const char* name : {"RelayGroup05", "RelayGroup06"}) {
        auto* group = field<QComboBox>(QString::fromLatin1(name));
        group->setFocus();
        QTest::keyClick(group, Qt::Key_2);
        EXPECT_EQ(group->currentText(), QStringLiteral("2"));
    }
    auto* debounce = field<QSpinBox>(QStringLiteral("InputDebounce1"));
    debounce->setFocus();
    QTest::keyClick(debounce, Qt::Key_Up);
    QTest::keyClick(debounce, Qt::Key_Up);
    EXPECT_EQ(field<QLabel>(QStringLiteral("InterlockLine"))->text(),
              QStringLiteral("Interlocked: 01,02  05,06"));
    type(QStringLiteral("DeadTimeEdit"), QStringLiteral("0.5s"));
    QTest::keyClick(edit(QStringLiteral("DeadTimeEdit")), Qt::Key_Return);

    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    safety::BoardSettings expected =
        std::get<safety::BoardSettings>(safety::ParseBoardSettings(kFile));
    expected.relayNames.at(4) = QStringLiteral("Heater");
    expected.maxOn.at(4) = 2h;
    expected.interlocks.append(0x0030);
    expected.debounce.at(0) = 3;
    expected.deadTime = 500ms;
    ASSERT_EQ(applied.size(), 1);
    EXPECT_TRUE(applied.constFirst() == expected);
    EXPECT_TRUE(board.settings() == expected);
    EXPECT_EQ(readAll(path), safety::BoardSettingsText(expected));
    EXPECT_TRUE(readAll(path).contains("start-state = last\n"));
}

// Tab walks the relays row by row, then the inputs and the dead time; the
// group boxes' and the dead time's accelerators jump there; Escape leaves
// everything as it was.
TEST_F(BoardWindowTest, TabOrderAcceleratorsAndEscape)
{
    open(kFile);
    applied.clear();
    edit(QStringLiteral("RelayName01"))->setFocus();
    const QStringList order{"RelayName01", "RelayGroup01", "RelayMaxOn01", "RelayName02"};
    for (qsizetype i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), order.at(i));
    }
    edit(QStringLiteral("RelayMaxOn16"))->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("InputName1"));
    edit(QStringLiteral("InputName6"))->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("InputDebounce6"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("DeadTimeEdit"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("OKButt"));

    const struct
    {
        Qt::Key key;
        const char* focus;
    } accelerators[] = {
        {Qt::Key_I, "InputName1"},
        {Qt::Key_T, "DeadTimeEdit"},
        {Qt::Key_R, "RelayName01"},
    };
    for (const auto& a : accelerators) {
        QTest::keyClick(&window, a.key, Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QString::fromLatin1(a.focus));
    }

    type(QStringLiteral("RelayName01"), QStringLiteral("Lights"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(applied.isEmpty());
    EXPECT_EQ(readAll(path), kFile);
    // Opened again, it shows what runs, not what was cancelled.
    window.show();
    EXPECT_EQ(edit(QStringLiteral("RelayName01"))->text(), QString());
}

// Every wrong field is marked with its problem, all of them are listed,
// and OK refuses (a beep, the first wrong field takes the focus) until
// they are put right.
TEST_F(BoardWindowTest, WrongValuesAreShownWithTheirProblemAndRefuseOK)
{
    open(kFile);
    applied.clear();
    type(QStringLiteral("RelayMaxOn03"), QStringLiteral("5 years"));
    type(QStringLiteral("RelayMaxOn07"), QStringLiteral("100ms"));
    type(QStringLiteral("InputName2"), QString(41, QLatin1Char('x')));
    type(QStringLiteral("DeadTimeEdit"), QStringLiteral("2min"));
    auto* lone = field<QComboBox>(QStringLiteral("RelayGroup04"));
    lone->setCurrentIndex(3);

    const QString maxOn = QStringLiteral(
        "relay-03-max-on '5 years' is not a duration such as 500ms, 30s, 20min or 2h");
    EXPECT_EQ(edit(QStringLiteral("RelayMaxOn03"))->toolTip(), maxOn);
    EXPECT_EQ(edit(QStringLiteral("RelayMaxOn07"))->toolTip(),
              QStringLiteral("relay-07-max-on '100ms' is not between 200ms and 168h"));
    EXPECT_EQ(edit(QStringLiteral("InputName2"))->toolTip(),
              QStringLiteral("input-2-name is longer than 40 characters"));
    EXPECT_EQ(edit(QStringLiteral("DeadTimeEdit"))->toolTip(),
              QStringLiteral("interlock-dead-time '2min' is longer than 1min"));
    EXPECT_EQ(lone->toolTip(),
              QStringLiteral("Interlock group 3: interlock group '04' has one relay; a group "
                             "needs two or more"));
    EXPECT_TRUE(edit(QStringLiteral("RelayName03"))->toolTip().isEmpty());
    EXPECT_TRUE(field<QLabel>(QStringLiteral("ProblemLabel"))->isVisible());
    EXPECT_EQ(problems().split(QLatin1Char('\n')).size(), 5) << problems().toStdString();
    EXPECT_TRUE(problems().contains(maxOn));

    field<QPushButton>(QStringLiteral("OKButt"))->click();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(rig.view.beeps, 1);
    EXPECT_EQ(QApplication::focusWidget(), edit(QStringLiteral("RelayMaxOn03")));
    EXPECT_TRUE(applied.isEmpty());
    EXPECT_EQ(readAll(path), kFile);

    type(QStringLiteral("RelayMaxOn03"), QStringLiteral("30 s"));
    type(QStringLiteral("RelayMaxOn07"), QString());
    type(QStringLiteral("InputName2"), QStringLiteral("Door"));
    type(QStringLiteral("DeadTimeEdit"), QString());
    lone->setCurrentIndex(0);
    EXPECT_FALSE(field<QLabel>(QStringLiteral("ProblemLabel"))->isVisible());
    field<QPushButton>(QStringLiteral("OKButt"))->click();
    EXPECT_FALSE(window.isVisible());
    ASSERT_EQ(applied.size(), 1);
    EXPECT_EQ(applied.constFirst().maxOn.at(2), 30s);
    EXPECT_EQ(applied.constFirst().maxOn.at(6), 0ms);
    EXPECT_EQ(applied.constFirst().deadTime, safety::kDefaultDeadTime);
    EXPECT_EQ(applied.constFirst().inputNames.at(1), QStringLiteral("Door"));
}

// A save that fails, on a full disk or over a link, is told; nothing is
// applied, the file stays, and the entries stay for another OK.
TEST_F(BoardWindowTest, ASaveFailureIsToldAndKeepsTheEntries)
{
    open(kFile);
    applied.clear();
    type(QStringLiteral("RelayName09"), QStringLiteral("Siren"));
    {
        FileSizeLimit limit(16);
        ASSERT_TRUE(limit.set());
        field<QPushButton>(QStringLiteral("OKButt"))->click();
    }
    ASSERT_EQ(rig.view.boxes.size(), 1);
    EXPECT_EQ(rig.view.boxes.at(0).kind, QStringLiteral("Error"));
    EXPECT_EQ(
        rig.view.boxes.at(0).text,
        QStringLiteral("The board settings cannot be saved to %1: File too large.").arg(path));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(edit(QStringLiteral("RelayName09"))->text(), QStringLiteral("Siren"));
    EXPECT_TRUE(applied.isEmpty());
    EXPECT_EQ(readAll(path), kFile);
    EXPECT_EQ(board.settings().relayNames.at(8), QString());

    // A link put in the file's place is never written through.
    const QString target = folder.filePath(QStringLiteral("elsewhere"));
    ASSERT_TRUE(writeAll(target, "keep\n"));
    ASSERT_TRUE(QFile::rename(path, path + QStringLiteral(".old")));
    ASSERT_TRUE(QFile::link(target, path));
    field<QPushButton>(QStringLiteral("OKButt"))->click();
    ASSERT_EQ(rig.view.boxes.size(), 2);
    EXPECT_EQ(rig.view.boxes.at(1).text,
              QStringLiteral("The board settings cannot be saved to %1: it is a symbolic link "
                             "or a file of another user, which is never written.")
                  .arg(path));
    EXPECT_EQ(readAll(target), "keep\n");
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    EXPECT_TRUE(window.isVisible());

    // Put right, the same entries save.
    ASSERT_TRUE(QFile::remove(path));
    field<QPushButton>(QStringLiteral("OKButt"))->click();
    EXPECT_FALSE(window.isVisible());
    ASSERT_EQ(applied.size(), 1);
    EXPECT_EQ(applied.constFirst().relayNames.at(8), QStringLiteral("Siren"));
    EXPECT_TRUE(readAll(path).contains("relay-09-name = Siren\n"));
}

// A file that cannot be used is named at the top; OK replaces it.
TEST_F(BoardWindowTest, AFileThatCannotBeUsedIsNamedAndOKReplacesIt)
{
    open("relay-17-name = Nowhere\n");
    EXPECT_TRUE(applied.isEmpty());
    const QString state = field<QLabel>(QStringLiteral("FileState"))->text();
    EXPECT_TRUE(state.contains(path + QStringLiteral(":1: relay-17-name names relay 17")))
        << state.toStdString();
    EXPECT_TRUE(state.endsWith(QStringLiteral("OK replaces it with the settings below.")));
    type(QStringLiteral("RelayName01"), QStringLiteral("Fan"));
    QTest::keyClick(edit(QStringLiteral("RelayName01")), Qt::Key_Enter);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(readAll(path), "# V217 board settings\nrelay-01-name = Fan\n");
    EXPECT_TRUE(board.fileProblem().isEmpty());
    window.show();
    EXPECT_EQ(field<QLabel>(QStringLiteral("FileState"))->text(),
              QStringLiteral("Saved in %1.").arg(path));
}

} // namespace
