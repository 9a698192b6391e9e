// SPDX-License-Identifier: GPL-3.0-or-later
// The "key = value" reader both programs' settings files go through: what
// an entry is, and the line and words of each fault.
#include "common/keyvaluefile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using keyvalue::Contents;
using keyvalue::Entry;
using keyvalue::Syntax;

const Syntax kPlain{.section = {}, .refuseNul = false};
const Syntax kBoards{.section = QStringLiteral("board"), .refuseNul = true};

QString faultOf(const Contents& contents)
{
    return contents.fault
               ? QStringLiteral("%1: %2").arg(contents.fault->line).arg(contents.fault->problem)
               : QStringLiteral("none");
}

TEST(KeyValueFile, EntriesAreTrimmedKeysLoweredAndCommentsSkipped)
{
    const Contents read = keyvalue::Parse("# comment\r\n"
                                          "  ; another\n"
                                          "\n"
                                          "  Port\t=  /dev/ttyUSB0 \r\n"
                                          "password = a = b #c\n"
                                          "empty =\n"
                                          "[ tank ]\n"
                                          "last=1",
                                          kBoards);
    EXPECT_EQ(faultOf(read), QStringLiteral("none"));
    ASSERT_EQ(read.entries.size(), 5);
    const Entry& port = read.entries.at(0);
    EXPECT_EQ(port.line, 4);
    EXPECT_FALSE(port.isSection);
    EXPECT_EQ(port.name, QStringLiteral("Port"));
    EXPECT_EQ(port.key, QStringLiteral("port"));
    EXPECT_EQ(port.value, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(read.entries.at(1).value, QStringLiteral("a = b #c"));
    EXPECT_EQ(read.entries.at(2).value, QString());
    const Entry& tank = read.entries.at(3);
    EXPECT_TRUE(tank.isSection);
    EXPECT_EQ(tank.line, 7);
    EXPECT_EQ(tank.name, QStringLiteral("tank"));
    EXPECT_EQ(read.entries.at(4).line, 8);
    EXPECT_EQ(read.entries.at(4).value, QStringLiteral("1"));
}

// Where the desktop's mqtt.conf (no sections, a NUL byte kept) and the
// service's configuration (board sections, NUL refused) read alike and
// where not.
TEST(KeyValueFile, EachFaultNamesItsLineInTheWordsOfItsSyntax)
{
    const struct
    {
        QByteArray text;
        const Syntax& syntax;
        const char* fault;
    } cases[] = {
        {"a = 1\nport 3\n", kPlain, "2: expected 'key = value'"},
        {"[a]\nport 3\n", kBoards, "2: expected 'key = value' or '[board]'"},
        {"[a]\n", kPlain, "1: expected 'key = value'"},
        {"[a] = 1\n", kBoards, "1: a section line ends with ']'"},
        {"[a\n", kBoards, "1: a section line ends with ']'"},
        {"a = 1\nb = \xff\n", kPlain, "2: the line is not UTF-8 text"},
        {QByteArray("a = /dev/x\0y\n", 13), kBoards,
         "1: the line holds a NUL byte, which no path or value may"},
        {"Mqtt = 1\n\nmqtt = 2\n", kPlain, "3: 'mqtt' is set twice"},
        {"[a]\nport = 1\nPORT = 2\n", kBoards, "3: 'port' is set twice in this section"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(faultOf(keyvalue::Parse(c.text, c.syntax)), QString::fromUtf8(c.fault));
    }

    // Without sections "[a] = 1" is a key like any other, and a NUL byte
    // stays in the value.
    const Contents plain = keyvalue::Parse(QByteArray("[a] = 1\nb = x\0y\n", 16), kPlain);
    EXPECT_EQ(faultOf(plain), QStringLiteral("none"));
    ASSERT_EQ(plain.entries.size(), 2);
    EXPECT_EQ(plain.entries.at(0).key, QStringLiteral("[a]"));
    EXPECT_EQ(plain.entries.at(1).value, QString::fromUtf8("x\0y", 3));
    // Each section sets its own keys.
    EXPECT_EQ(faultOf(keyvalue::Parse("[a]\nport = 1\n[b]\nport = 2\n", kBoards)),
              QStringLiteral("none"));
}

TEST(KeyValueFile, TheEntriesBeforeAFaultAreKeptForTheOwnerToCheckFirst)
{
    const Contents read = keyvalue::Parse("a = 1\n[b]\nc = 2\nbroken\nd = 3\n", kBoards);
    EXPECT_EQ(faultOf(read), QStringLiteral("4: expected 'key = value' or '[board]'"));
    ASSERT_EQ(read.entries.size(), 3);
    EXPECT_EQ(read.entries.at(2).line, 3);
}

TEST(KeyValueFile, AFileIsReadWithinItsLimit)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("a.conf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(QByteArray(10, 'x')), 10);
    file.close();
    EXPECT_EQ(std::get<QByteArray>(keyvalue::ReadFile(path, 10)), QByteArray(10, 'x'));
    EXPECT_EQ(std::get<QByteArray>(keyvalue::ReadFile(path, std::nullopt)).size(), 10);
    EXPECT_EQ(std::get<QString>(keyvalue::ReadFile(path, 9)),
              QStringLiteral("is larger than 9 bytes"));
    EXPECT_TRUE(std::get<QString>(keyvalue::ReadFile(folder.filePath(QStringLiteral("none")), 9))
                    .startsWith(QStringLiteral("cannot be read: ")));
}

} // namespace
