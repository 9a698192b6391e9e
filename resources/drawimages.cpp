// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the program's pictures into PNG files: the six lamp glyphs, the three
// relay faces, the two-lamp input picture, the logger activity lamp, the
// pictures of the Write, Edit and Save buttons and the application icon, each
// at its design size and at twice that size for high-density screens.
//
// The PNG files are kept in the repository; run this program only to change
// them:  cmake --build build --target v217_drawimages &&
//        build/resources/v217_drawimages resources/images
//
// Pictures that the program recolours by flood fill (the input picture and the
// activity lamp) are drawn without anti-aliasing, so that every lamp is one
// flat area of the colour that the fill looks for.
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <functional>

namespace {

using Draw = std::function<void(QPainter&, int scale)>;

QString g_folder;

bool save(const QImage& image, const QString& name)
{
    const QString path = QDir(g_folder).filePath(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Draws one picture at 1x and 2x: name.png and name@2x.png.
bool drawBoth(const QString& name, QSize size, const Draw& draw)
{
    for (int scale : {1, 2}) {
        QImage image(size * scale, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            draw(painter, scale);
        }
        const QString file =
            scale == 1 ? name + QStringLiteral(".png") : name + QStringLiteral("@2x.png");
        if (!save(image, file))
            return false;
    }
    return true;
}

// A round panel lamp in a dark bezel: the lamp colour in the middle, lighter
// towards a white highlight at the upper left, darker at the rim. A lit lamp
// also glows faintly beyond its bezel.
void drawLamp(QPainter& p, int scale, QColor colour, bool lit)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    const QPointF centre(8.0, 8.0);
    if (lit) {
        QRadialGradient glow(centre, 8.0);
        QColor inner = colour;
        inner.setAlpha(150);
        QColor outer = colour;
        outer.setAlpha(0);
        glow.setColorAt(0.55, inner);
        glow.setColorAt(1.0, outer);
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(centre, 8.0, 8.0);
    }
    // Bezel.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawEllipse(centre, 5.6, 5.6);
    // Lens.
    QRadialGradient lens(QPointF(6.6, 6.4), 6.0, QPointF(6.2, 6.0));
    lens.setColorAt(0.0, colour.lighter(lit ? 190 : 150));
    lens.setColorAt(0.45, colour);
    lens.setColorAt(1.0, colour.darker(lit ? 140 : 170));
    p.setBrush(lens);
    p.drawEllipse(centre, 4.6, 4.6);
    // Highlight.
    p.setBrush(QColor(255, 255, 255, lit ? 235 : 170));
    p.drawEllipse(QPointF(6.4, 6.2), 1.25, 1.0);
}

// Fills a rectangle given in design pixels, whole device pixels at any scale.
void fill(QPainter& p, int scale, int x, int y, int w, int h, QColor colour)
{
    p.fillRect(x * scale, y * scale, w * scale, h * scale, colour);
}

// Relay face: a raised grey frame around the face colour, with a black symbol
// in the middle (bar = on, ring = off, dash = idle).
enum class Symbol
{
    Bar,
    Ring,
    Dash
};

void drawFace(QPainter& p, int scale, QColor face, Symbol symbol)
{
    const int w = 38;
    const int h = 14;
    fill(p, scale, 0, 0, w, h, QColor(64, 64, 64));            // outer shadow
    fill(p, scale, 0, 0, w - 1, h - 1, QColor(255, 255, 255)); // outer light
    fill(p, scale, 1, 1, w - 2, h - 2, QColor(128, 128, 128)); // inner shadow
    fill(p, scale, 1, 1, w - 3, h - 3, QColor(223, 223, 223)); // inner light
    fill(p, scale, 2, 2, w - 4, h - 4, face);
    const QColor black(0, 0, 0);
    switch (symbol) {
    case Symbol::Bar:
        fill(p, scale, 18, 4, 2, 6, black);
        break;
    case Symbol::Dash:
        fill(p, scale, 16, 6, 6, 2, black);
        break;
    case Symbol::Ring:
        if (scale == 1) {
            fill(p, scale, 18, 4, 2, 1, black);
            fill(p, scale, 18, 9, 2, 1, black);
            fill(p, scale, 17, 5, 1, 4, black);
            fill(p, scale, 20, 5, 1, 4, black);
        } else {
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(black, 2.0));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QRectF(35.0, 9.0, 10.0, 10.0));
        }
        break;
    }
}

// One lamp of the input picture: a dark outline with cut corners around one
// flat area of the lamp colour, with a black arrow in it. Drawn on a pixel
// grid so the area stays one colour for the flood fill.
void drawInputLamp(QPainter& p, int scale, int left, QColor colour, bool arrowUp)
{
    const QColor outline(40, 40, 40);
    const int w = 18;
    const int h = 14;
    fill(p, scale, left + 1, 0, w - 2, h, outline);
    fill(p, scale, left, 1, w, h - 2, outline);
    fill(p, scale, left + 1, 1, w - 2, h - 2, colour);
    // The arrow, centred: a three-row head and a two-pixel shaft.
    const QColor black(0, 0, 0);
    const int cx = left + 8; // the arrow is two pixels wide at its tip
    const int heads[3][2] = {{0, 2}, {-1, 4}, {-2, 6}};
    for (int row = 0; row < 3; ++row) {
        const int y = arrowUp ? 3 + row : 10 - row;
        fill(p, scale, cx + heads[row][0], y, heads[row][1], 1, black);
    }
    const int shaftTop = arrowUp ? 6 : 4;
    fill(p, scale, cx, shaftTop, 2, 4, black);
}

// The activity lamp, 7 x 7: a round dark red dot with one white highlight.
void drawActivityLamp(QPainter& p, int scale)
{
    if (scale == 2) {
        // Twice the size: a rounder dot, still one flat area around (6, 6).
        for (int y = 0; y < 14; ++y) {
            for (int x = 0; x < 14; ++x) {
                const double dx = x + 0.5 - 7.0;
                const double dy = y + 0.5 - 7.0;
                if (dx * dx + dy * dy <= 6.9 * 6.9)
                    p.fillRect(x, y, 1, 1, QColor(128, 0, 0));
            }
        }
        p.fillRect(4, 4, 2, 2, QColor(255, 255, 255));
        return;
    }
    static const char* const rows[] = {
        "..XXX..", ".XXXXX.", "XXWXXXX", "XXXXXXX", "XXXXXXX", ".XXXXX.", "..XXX..",
    };
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 7; ++x) {
            const char c = rows[y][x];
            if (c == 'X')
                fill(p, scale, x, y, 1, 1, QColor(128, 0, 0));
            else if (c == 'W')
                fill(p, scale, x, y, 1, 1, QColor(255, 255, 255));
        }
    }
}

// Write: a green arrow into a relay contact bar.
void drawWrite(QPainter& p, int scale)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    p.setPen(QPen(QColor(20, 60, 20), 0.8));
    p.setBrush(QColor(40, 170, 40));
    QPainterPath arrow;
    arrow.moveTo(1.5, 6.0);
    arrow.lineTo(7.5, 6.0);
    arrow.lineTo(7.5, 3.0);
    arrow.lineTo(12.0, 8.0);
    arrow.lineTo(7.5, 13.0);
    arrow.lineTo(7.5, 10.0);
    arrow.lineTo(1.5, 10.0);
    arrow.closeSubpath();
    p.drawPath(arrow);
    p.setPen(QPen(QColor(30, 30, 30), 0.8));
    p.setBrush(QColor(110, 110, 120));
    p.drawRect(QRectF(12.5, 2.5, 2.5, 11.0));
}

// Edit: a pencil.
void drawEdit(QPainter& p, int scale)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    p.translate(8.0, 8.0);
    p.rotate(-45.0);
    p.setPen(QPen(QColor(60, 40, 10), 0.8));
    p.setBrush(QColor(245, 190, 40));
    p.drawRect(QRectF(-4.5, -2.0, 9.0, 4.0));
    p.setBrush(QColor(230, 120, 140));
    p.drawRect(QRectF(4.5, -2.0, 2.5, 4.0));
    QPainterPath tip;
    tip.moveTo(-4.5, -2.0);
    tip.lineTo(-7.5, 0.0);
    tip.lineTo(-4.5, 2.0);
    tip.closeSubpath();
    p.setBrush(QColor(240, 215, 170));
    p.drawPath(tip);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawEllipse(QPointF(-7.0, 0.0), 0.7, 0.7);
}

// Save: a floppy disk.
void drawSave(QPainter& p, int scale)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    p.setPen(QPen(QColor(20, 30, 70), 0.8));
    p.setBrush(QColor(60, 90, 170));
    QPainterPath body;
    body.moveTo(2.0, 2.0);
    body.lineTo(12.0, 2.0);
    body.lineTo(14.0, 4.0);
    body.lineTo(14.0, 14.0);
    body.lineTo(2.0, 14.0);
    body.closeSubpath();
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(235, 235, 235));
    p.drawRect(QRectF(4.0, 8.5, 8.0, 5.0));
    p.setBrush(QColor(190, 195, 205));
    p.drawRect(QRectF(5.0, 2.5, 6.0, 3.5));
    p.setBrush(QColor(60, 90, 170));
    p.drawRect(QRectF(9.0, 3.0, 1.3, 2.5));
}

// The application icon: a dark control panel with four panel lamps, two lit.
void drawIcon(QPainter& p, int size)
{
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 64.0;
    p.scale(s, s);
    QLinearGradient plate(0, 0, 0, 64);
    plate.setColorAt(0.0, QColor(84, 96, 110));
    plate.setColorAt(1.0, QColor(40, 46, 56));
    p.setPen(QPen(QColor(20, 24, 30), 1.5));
    p.setBrush(plate);
    p.drawRoundedRect(QRectF(3, 3, 58, 58), 10, 10);
    const struct
    {
        QPointF centre;
        QColor colour;
        bool lit;
    } lamps[] = {
        {{21, 21}, QColor(0, 255, 0), true},
        {{43, 21}, QColor(128, 0, 0), false},
        {{21, 43}, QColor(0, 128, 0), false},
        {{43, 43}, QColor(255, 0, 0), true},
    };
    for (const auto& lamp : lamps) {
        if (lamp.lit) {
            QRadialGradient glow(lamp.centre, 13);
            QColor inner = lamp.colour;
            inner.setAlpha(140);
            QColor outer = lamp.colour;
            outer.setAlpha(0);
            glow.setColorAt(0.5, inner);
            glow.setColorAt(1.0, outer);
            p.setPen(Qt::NoPen);
            p.setBrush(glow);
            p.drawEllipse(lamp.centre, 13, 13);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(25, 25, 25));
        p.drawEllipse(lamp.centre, 8.5, 8.5);
        QRadialGradient lens(lamp.centre - QPointF(2, 2), 8, lamp.centre - QPointF(2.5, 2.5));
        lens.setColorAt(0.0, lamp.colour.lighter(lamp.lit ? 180 : 150));
        lens.setColorAt(0.5, lamp.colour);
        lens.setColorAt(1.0, lamp.colour.darker(150));
        p.setBrush(lens);
        p.drawEllipse(lamp.centre, 7, 7);
        p.setBrush(QColor(255, 255, 255, lamp.lit ? 230 : 160));
        p.drawEllipse(lamp.centre - QPointF(2.3, 2.5), 2.0, 1.5);
    }
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    g_folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_folder);

    const QSize glyph(16, 16);
    const struct
    {
        const char* name;
        QColor colour;
        bool lit;
    } lamps[] = {
        {"ledgon", QColor(0, 255, 0), true},   {"ledgoff", QColor(0, 128, 0), false},
        {"ledron", QColor(255, 0, 0), true},   {"ledroff", QColor(128, 0, 0), false},
        {"ledton", QColor(255, 0, 255), true}, {"ledtoff", QColor(128, 0, 128), false},
    };
    bool ok = true;
    for (const auto& lamp : lamps) {
        ok = ok && drawBoth(QString::fromLatin1(lamp.name), glyph, [&](QPainter& p, int scale) {
                 drawLamp(p, scale, lamp.colour, lamp.lit);
             });
    }

    const QSize indicator(38, 14);
    ok = ok && drawBoth(QStringLiteral("onimage"), indicator, [](QPainter& p, int scale) {
             drawFace(p, scale, QColor(0, 255, 0), Symbol::Bar);
         });
    ok = ok && drawBoth(QStringLiteral("offimage"), indicator, [](QPainter& p, int scale) {
             drawFace(p, scale, QColor(255, 0, 0), Symbol::Ring);
         });
    ok = ok && drawBoth(QStringLiteral("alloffimage"), indicator, [](QPainter& p, int scale) {
             drawFace(p, scale, QColor(128, 0, 0), Symbol::Dash);
         });
    ok = ok && drawBoth(QStringLiteral("inputimage"), indicator, [](QPainter& p, int scale) {
             drawInputLamp(p, scale, 0, QColor(128, 0, 0), false);
             drawInputLamp(p, scale, 20, QColor(0, 128, 0), true);
         });
    ok = ok && drawBoth(QStringLiteral("ledimage"), QSize(7, 7), drawActivityLamp);
    ok = ok && drawBoth(QStringLiteral("write"), glyph, drawWrite);
    ok = ok && drawBoth(QStringLiteral("edit"), glyph, drawEdit);
    ok = ok && drawBoth(QStringLiteral("save"), glyph, drawSave);

    for (int size : {16, 32, 48, 256}) {
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            drawIcon(painter, size);
        }
        ok = ok && save(image, QStringLiteral("mainicon-%1.png").arg(size));
    }
    return ok ? 0 : 1;
}
