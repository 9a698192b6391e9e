// SPDX-License-Identifier: GPL-3.0-or-later
#include "controller/lamppictures.h"

#include <QColor>

#include <gtest/gtest.h>

namespace {

using namespace lamppictures;

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;

// A 6 x 3 image: two red areas that touch only at a corner, split by black.
//   R R B . . .
//   R R B . R R
//   B B R B R R
QImage twoAreas()
{
    QImage image(6, 3, QImage::Format_ARGB32);
    image.fill(kWhite);
    for (QPoint p : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1), QPoint(2, 2),
                     QPoint(4, 1), QPoint(5, 1), QPoint(4, 2), QPoint(5, 2)})
        image.setPixel(p, kDarkRed);
    for (QPoint p : {QPoint(2, 0), QPoint(2, 1), QPoint(0, 2), QPoint(1, 2), QPoint(3, 2)})
        image.setPixel(p, kBlack);
    return image;
}

TEST(FloodFill, ReplacesOnlyTheConnectedArea)
{
    const QImage filled = FloodFill(twoAreas(), {0, 0}, kDarkRed, kBrightRed);
    for (QPoint p : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)})
        EXPECT_EQ(filled.pixel(p), kBrightRed);
    EXPECT_EQ(filled.pixel(2, 2), kDarkRed); // touches only diagonally
    EXPECT_EQ(filled.pixel(4, 1), kDarkRed);
    EXPECT_EQ(filled.pixel(2, 0), kBlack);
    EXPECT_EQ(filled.pixel(3, 0), kWhite);
}

TEST(FloodFill, ASeedOfAnotherColourChangesNothing)
{
    const QImage image = twoAreas();
    EXPECT_EQ(FloodFill(image, {3, 0}, kDarkRed, kBrightRed), image);
    EXPECT_EQ(FloodFill(image, {0, 0}, kDarkRed, kDarkRed), image);
    EXPECT_EQ(FloodFill(image, {9, 9}, kDarkRed, kBrightRed), image);
    // Filling twice is filling once.
    const QImage once = FloodFill(image, {5, 2}, kDarkRed, kBrightRed);
    EXPECT_EQ(FloodFill(once, {5, 2}, kDarkRed, kBrightRed), once);
    EXPECT_EQ(once.pixel(4, 1), kBrightRed);
}

TEST(FloodFill, FillsAreasOfIrregularShape)
{
    // A U shape: the fill must go down one arm and up the other.
    QImage image(5, 4, QImage::Format_ARGB32);
    image.fill(kDarkGreen);
    image.setPixel(2, 0, kBlack);
    image.setPixel(2, 1, kBlack);
    image.setPixel(2, 2, kBlack);
    const QImage filled = FloodFill(image, {0, 0}, kDarkGreen, kBrightGreen);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            if (x == 2 && y < 3)
                continue;
            EXPECT_EQ(filled.pixel(x, y), kBrightGreen) << x << "," << y;
        }
    }
}

struct Resource
{
    const char* name;
    QSize size;
};

// Test names show the picture's name, not the bytes of the row.
void PrintTo(const Resource& r, std::ostream* out)
{
    *out << r.name;
}

class CompiledInPictures : public ::testing::TestWithParam<Resource>
{
};

TEST_P(CompiledInPictures, ExistAtBothSizes)
{
    const Resource r = GetParam();
    const QImage single = Picture(QString::fromLatin1(r.name), 1.0);
    const QImage doubled = Picture(QString::fromLatin1(r.name), 2.0);
    EXPECT_EQ(single.size(), r.size);
    EXPECT_EQ(doubled.size(), r.size * 2);
    EXPECT_EQ(single.devicePixelRatio(), 1.0);
    EXPECT_EQ(doubled.devicePixelRatio(), 2.0);
}

INSTANTIATE_TEST_SUITE_P(
    All, CompiledInPictures,
    ::testing::Values(Resource{"ledgon", {16, 16}}, Resource{"ledgoff", {16, 16}},
                      Resource{"ledron", {16, 16}}, Resource{"ledroff", {16, 16}},
                      Resource{"ledton", {16, 16}}, Resource{"ledtoff", {16, 16}},
                      Resource{"onimage", {38, 14}}, Resource{"offimage", {38, 14}},
                      Resource{"alloffimage", {38, 14}}, Resource{"inputimage", {38, 14}},
                      Resource{"ledimage", {7, 7}}, Resource{"write", {16, 16}},
                      Resource{"edit", {16, 16}}, Resource{"save", {16, 16}}));

TEST(LampGlyphs, RoundLampsInTheirColoursOnATransparentGround)
{
    const struct
    {
        const char* name;
        QRgb colour;
    } glyphs[] = {{"ledgon", 0xFF00FF00},  {"ledgoff", 0xFF008000}, {"ledron", 0xFFFF0000},
                  {"ledroff", 0xFF800000}, {"ledton", 0xFFFF00FF},  {"ledtoff", 0xFF800080}};
    for (const auto& g : glyphs) {
        for (qreal ratio : {1.0, 2.0}) {
            SCOPED_TRACE(::testing::Message() << g.name << " @" << ratio);
            const QImage image = Picture(QString::fromLatin1(g.name), ratio);
            const int s = static_cast<int>(ratio);
            EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
            EXPECT_EQ(qAlpha(image.pixel(15 * s, 15 * s)), 0);
            // Below the highlight the lens has the lamp's colour.
            const QColor lens = image.pixelColor(9 * s, 10 * s);
            const QColor want = QColor::fromRgb(g.colour);
            EXPECT_NEAR(lens.red(), want.red(), 70);
            EXPECT_NEAR(lens.green(), want.green(), 70);
            EXPECT_NEAR(lens.blue(), want.blue(), 70);
            EXPECT_EQ(lens.alpha(), 255);
        }
    }
    EXPECT_EQ(Glyph(QStringLiteral("ledgon")).availableSizes().size(), 2);
    EXPECT_FALSE(MainIcon().pixmap(256).isNull());
}

TEST(IndicatorPictures, FacesFramesAndSymbols)
{
    const struct
    {
        const char* name;
        QRgb face;
        QPoint symbol;
    } faces[] = {{"onimage", kBrightGreen, {18, 6}},
                 {"offimage", kBrightRed, {17, 7}},
                 {"alloffimage", kDarkRed, {18, 6}}};
    for (const auto& f : faces) {
        for (qreal ratio : {1.0, 2.0}) {
            SCOPED_TRACE(::testing::Message() << f.name << " @" << ratio);
            const QImage image = Picture(QString::fromLatin1(f.name), ratio);
            const int s = static_cast<int>(ratio);
            EXPECT_EQ(image.pixel(5 * s, 5 * s), f.face);
            EXPECT_LT(qGray(image.pixel(f.symbol * s)), 40);     // black, or nearly at a curve
            EXPECT_EQ(image.pixel(0, 0), kWhite);                // light edge
            EXPECT_EQ(image.pixel(37 * s, 13 * s), 0xFF404040u); // shadow edge
        }
    }
}

TEST(IndicatorPictures, InputPictureRecoloursBothWaysAtBothSizes)
{
    for (qreal ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        const int s = static_cast<int>(ratio);
        const QImage design = Picture(QStringLiteral("inputimage"), ratio);
        EXPECT_EQ(design.pixel(kInputLowLamp * s), kDarkRed);
        EXPECT_EQ(design.pixel(kInputHighLamp * s), kDarkGreen);
        const QImage low = ShowInput(design, false);
        EXPECT_EQ(low.pixel(kInputLowLamp * s), kBrightRed);
        EXPECT_EQ(low.pixel(kInputHighLamp * s), kDarkGreen);
        EXPECT_EQ(ShowInput(low, false), low);
        const QImage high = ShowInput(low, true);
        EXPECT_EQ(high.pixel(kInputLowLamp * s), kDarkRed);
        EXPECT_EQ(high.pixel(kInputHighLamp * s), kBrightGreen);
        EXPECT_EQ(ShowInput(high, true), high);
        EXPECT_EQ(ShowInput(high, false), low);
        // The whole lamp changes, right to its far corner.
        EXPECT_EQ(high.pixel(QPoint(16, 12) * s), kDarkRed);
        EXPECT_EQ(high.pixel(QPoint(36, 12) * s), kBrightGreen);
        EXPECT_EQ(high.devicePixelRatio(), ratio);
    }
}

TEST(IndicatorPictures, ActivityLampLightsWithItsHighlightKept)
{
    const QImage dark = Picture(QStringLiteral("ledimage"), 1.0);
    EXPECT_EQ(dark.pixel(kActivityLamp), kDarkRed);
    EXPECT_EQ(qAlpha(dark.pixel(0, 0)), 0);
    const QImage lit = ShowActivity(dark, true);
    EXPECT_EQ(lit.pixel(kActivityLamp), kBrightRed);
    EXPECT_EQ(lit.pixel(3, 0), kBrightRed);
    EXPECT_EQ(lit.pixel(2, 2), kWhite);
    EXPECT_EQ(qAlpha(lit.pixel(0, 0)), 0);
    EXPECT_EQ(ShowActivity(lit, true), lit);
    EXPECT_EQ(ShowActivity(lit, false), dark);
    const QImage doubled = ShowActivity(Picture(QStringLiteral("ledimage"), 2.0), true);
    EXPECT_EQ(doubled.pixel(kActivityLamp * 2), kBrightRed);
}

} // namespace
