// SPDX-License-Identifier: GPL-3.0-or-later
#include "controller/lamppictures.h"

#include <vector>

namespace lamppictures {

QImage FloodFill(const QImage& image, QPoint seed, QRgb from, QRgb to)
{
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    result.setDevicePixelRatio(image.devicePixelRatio());
    if (!result.rect().contains(seed) || result.pixel(seed) != from || from == to)
        return result;
    // Scanline fill: each popped point fills its run left and right, then
    // queues the runs above and below.
    std::vector<QPoint> pending{seed};
    while (!pending.empty()) {
        const QPoint p = pending.back();
        pending.pop_back();
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(p.y()));
        if (line[p.x()] != from)
            continue;
        int left = p.x();
        while (left > 0 && line[left - 1] == from)
            --left;
        int right = p.x();
        while (right + 1 < result.width() && line[right + 1] == from)
            ++right;
        for (int x = left; x <= right; ++x)
            line[x] = to;
        for (int y : {p.y() - 1, p.y() + 1}) {
            if (y < 0 || y >= result.height())
                continue;
            const auto* next = reinterpret_cast<const QRgb*>(result.constScanLine(y));
            for (int x = left; x <= right; ++x) {
                if (next[x] == from && (x == left || next[x - 1] != from))
                    pending.emplace_back(x, y);
            }
        }
    }
    return result;
}

QImage Picture(const QString& name, qreal devicePixelRatio)
{
    const bool doubled = devicePixelRatio > 1.0;
    const QString path =
        QStringLiteral(":/images/%1%2.png").arg(name, doubled ? QStringLiteral("@2x") : QString());
    QImage image(path);
    image = image.convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(doubled ? 2.0 : 1.0);
    return image;
}

QIcon Glyph(const QString& name)
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/images/%1.png").arg(name), QSize(16, 16));
    icon.addFile(QStringLiteral(":/images/%1@2x.png").arg(name), QSize(32, 32));
    return icon;
}

QIcon MainIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/images/mainicon-%1.png").arg(size), QSize(size, size));
    return icon;
}

namespace {

QPoint devicePoint(const QImage& image, QPoint designPoint)
{
    return designPoint * static_cast<int>(image.devicePixelRatio());
}

} // namespace

QImage ShowInput(const QImage& picture, bool high)
{
    const QPoint low = devicePoint(picture, kInputLowLamp);
    const QPoint up = devicePoint(picture, kInputHighLamp);
    if (high) {
        const QImage left = FloodFill(picture, low, kBrightRed, kDarkRed);
        return FloodFill(left, up, kDarkGreen, kBrightGreen);
    }
    const QImage left = FloodFill(picture, low, kDarkRed, kBrightRed);
    return FloodFill(left, up, kBrightGreen, kDarkGreen);
}

QImage ShowActivity(const QImage& picture, bool lit)
{
    const QPoint seed = devicePoint(picture, kActivityLamp);
    return lit ? FloodFill(picture, seed, kDarkRed, kBrightRed)
               : FloodFill(picture, seed, kBrightRed, kDarkRed);
}

} // namespace lamppictures
