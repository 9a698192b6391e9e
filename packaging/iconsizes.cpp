// SPDX-License-Identifier: GPL-3.0-or-later
// Build tool: writes the application icon at the sizes a desktop's icon theme
// looks for, as <output>/<N>x<N>/apps/<name>.png, so the installed icons are
// always the pictures compiled into the program and never a stale copy.
//
//   v217-iconsizes <output folder> <name> <size,size,...> <source image>...
//
// The sources are the icon drawn at one or more sizes. Each theme size takes
// the source drawn at that size when there is one (small icons are drawn for
// their size and lose their detail when shrunk from a big one), else the
// smallest larger source shrunk, else the largest source enlarged.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

// A square canvas with the picture centred on it: icon themes expect square
// icons, and a stretched picture would look wrong in every menu.
QImage squared(const QImage& image)
{
    const int side = qMax(image.width(), image.height());
    if (image.width() == image.height()) {
        return image.convertToFormat(QImage::Format_ARGB32);
    }
    QImage canvas(side, side, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.drawImage((side - image.width()) / 2, (side - image.height()) / 2, image);
    painter.end();
    return canvas;
}

// Small drawn icons grow by whole multiples with sharp pixels; smoothing them
// would blur their edges. Every other size is resampled smoothly.
QImage scaledTo(const QImage& square, int size)
{
    const bool wholeMultiple = size > square.width() && size % square.width() == 0;
    return square.scaled(size, size, Qt::IgnoreAspectRatio,
                         wholeMultiple ? Qt::FastTransformation : Qt::SmoothTransformation);
}

// The source drawn at `size`; else the smallest larger one; else the largest.
const QImage& bestSource(const QList<QImage>& sources, int size)
{
    const auto rank = [size](const QImage& image) {
        const int side = image.width();
        return side >= size ? side - size : std::numeric_limits<int>::max() / 2 + (size - side);
    };
    return *std::ranges::min_element(sources, {}, rank);
}

int fail(const QString& message)
{
    QTextStream(stderr) << "v217-iconsizes: " << message << '\n';
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 5) {
        return fail(
            QStringLiteral("usage: v217-iconsizes <output folder> <name> <size,...> <source>..."));
    }
    const QDir output(args.at(1));
    const QString name = args.at(2);
    QList<QImage> sources;
    for (const QString& path : args.mid(4)) {
        const QImage source(path);
        if (source.isNull()) {
            return fail(QStringLiteral("cannot read the image %1").arg(path));
        }
        sources.append(squared(source));
    }

    for (const QString& sizeText : args.at(3).split(QLatin1Char(','))) {
        bool ok = false;
        const int size = sizeText.toInt(&ok);
        if (!ok || size <= 0) {
            return fail(QStringLiteral("'%1' is not an icon size").arg(sizeText));
        }
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        if (!output.mkpath(folder)) {
            return fail(QStringLiteral("cannot create %1").arg(output.filePath(folder)));
        }
        const QString path =
            output.filePath(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
        const QImage& source = bestSource(sources, size);
        const QImage icon = source.width() == size ? source : scaledTo(source, size);
        if (!icon.save(path, "PNG")) {
            return fail(QStringLiteral("cannot write %1").arg(path));
        }
    }
    return 0;
}
