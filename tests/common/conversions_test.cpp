// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/conversions.h"
#include "support/rig.h"

#include <gtest/gtest.h>

TEST(Conversions, IntegersAndTheirFailure)
{
    EXPECT_EQ(StrToInt(QStringLiteral("17")), 17);
    EXPECT_EQ(StrToInt(QStringLiteral("-3")), -3);
    EXPECT_EQ(StrToInt(QStringLiteral(" 05")), 5);
    for (const char* bad : {"", "x", "1.5", "1 2", "*"}) {
        SCOPED_TRACE(bad);
        try {
            (void)StrToInt(QString::fromLatin1(bad));
            FAIL() << "no failure";
        } catch (const V217Error& e) {
            EXPECT_EQ(e.message(),
                      QStringLiteral("'%1' is not a valid integer value").arg(QLatin1String(bad)));
        }
    }
    EXPECT_EQ(StrToIntDef(QStringLiteral("*"), 0), 0);
}

TEST(Conversions, FloatsAcceptEitherSeparator)
{
    EXPECT_DOUBLE_EQ(StrToFloat(QStringLiteral("41823.75")), 41823.75);
    EXPECT_DOUBLE_EQ(StrToFloat(QStringLiteral("41823,75")), 41823.75);
    EXPECT_DOUBLE_EQ(StrToFloat(QStringLiteral("0")), 0.0);
    EXPECT_DOUBLE_EQ(StrToFloat(QStringLiteral("1.")), 1.0);
    for (const char* bad : {".", "", "1.2.3", "abc", "nan", "inf", "1,2,3"}) {
        SCOPED_TRACE(bad);
        try {
            (void)StrToFloat(QString::fromLatin1(bad));
            FAIL() << "no failure";
        } catch (const V217Error& e) {
            EXPECT_EQ(
                e.message(),
                QStringLiteral("'%1' is not a valid floating point value").arg(QLatin1String(bad)));
        }
    }
}

TEST(Conversions, FailureTextEndsInOnePoint)
{
    EXPECT_EQ(failureText(QStringLiteral("Cannot create file /x/y.iom")),
              QStringLiteral("Cannot create file /x/y.iom."));
    EXPECT_EQ(failureText(QStringLiteral("'.' is not a valid floating point value")),
              QStringLiteral("'.' is not a valid floating point value."));
    EXPECT_EQ(failureText(QStringLiteral("Done.")), QStringLiteral("Done."));
}

TEST(Conversions, AFailingHandlerShowsTheFailureBoxAndTheProgramGoesOn)
{
    Rig rig;
    rig.core.run([] { (void)StrToFloat(QStringLiteral(".")); });
    ASSERT_EQ(rig.view.boxes.size(), 1);
    EXPECT_EQ(rig.view.boxes.at(0).kind, QStringLiteral("Failure"));
    EXPECT_EQ(rig.view.boxes.at(0).text,
              QStringLiteral("'.' is not a valid floating point value."));
}
