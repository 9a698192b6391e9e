#include "controller/conversions.h"
#include "controller/textlines.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(TextLines, AnyLineEndIsAccepted)
{
    EXPECT_EQ(SplitTextLines("a\r\nb\r\n"), (QStringList{"a", "b"}));
    EXPECT_EQ(SplitTextLines("a\nb"), (QStringList{"a", "b"}));
    EXPECT_EQ(SplitTextLines("a\rb\r"), (QStringList{"a", "b"}));
    EXPECT_EQ(SplitTextLines("a\r\n\r\nb"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(SplitTextLines("a\r\n\r\n"), (QStringList{"a", ""}));
    EXPECT_TRUE(SplitTextLines("").isEmpty());
}

TEST(TextLines, WrittenWithCrLfAndReadBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.txt"));
    WriteTextLines(path, {QStringLiteral("one"), QString(), QStringLiteral("three")});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("one\r\n\r\nthree\r\n"));
    EXPECT_EQ(ReadTextLines(path), (QStringList{"one", "", "three"}));
}

TEST(TextLines, FailuresCarryTheExactMessage)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("none/x.txt"));
    try {
        WriteTextLines(missing, {QStringLiteral("a")});
        FAIL();
    } catch (const V217Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot create file ") + missing);
    }
    try {
        (void)ReadTextLines(missing);
        FAIL();
    } catch (const V217Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot open file ") + missing);
    }
}
