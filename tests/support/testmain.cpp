// Runs every test inside one Qt application, drawn offscreen, with the fixed
// regional formats so texts are the same on every machine.
#include "controller/regional.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QPA_PLATFORMTHEME", "");
    QApplication app(argc, argv);
    setRegional(Regional::fixed());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
