// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowkit/placememory.h"

#include "common/folders.h"
#include "common/savefile.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace placememory {

namespace {

// The geometry Qt writes is a few dozen bytes; anything far larger is no
// place file.
constexpr qint64 kMaxPlaceBytes = 4096;

// The frame the window manager gives the window, or the one it gave the
// window's parent when this one has not been shown yet (it will get the
// same).
QMargins frameOf(const QWidget& window)
{
    const QWidget* framed = &window;
    if (!window.isVisible() && window.parentWidget() != nullptr)
        framed = window.parentWidget()->window();
    return {framed->geometry().left() - framed->x(), framed->geometry().top() - framed->y(),
            framed->frameGeometry().right() - framed->geometry().right(),
            framed->frameGeometry().bottom() - framed->geometry().bottom()};
}

QList<QRect> availableAreas()
{
    QList<QRect> areas;
    if (QScreen* primary = QGuiApplication::primaryScreen())
        areas.append(primary->availableGeometry());
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen())
            areas.append(screen->availableGeometry());
    }
    return areas;
}

void fitToScreens(QWidget& window, const QRect& geometry)
{
    const QList<QRect> areas = availableAreas();
    if (areas.isEmpty())
        return;
    const QMargins frame = frameOf(window);
    const QRect fitted = FitPlace(geometry, frame, areas);
    window.resize(fitted.size());
    window.move(fitted.topLeft() - QPoint(frame.left(), frame.top()));
}

// A window shown for the first time goes over the middle of the window it
// belongs to and wholly inside the screen, frame and all, rather than
// wherever the window manager drops a large new window (often partly off
// the screen).
void placeOverParent(QWidget& window)
{
    const QWidget* parent = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    QScreen* screen = parent ? parent->screen() : window.screen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    const QMargins frame = frameOf(window);
    QRect outer(QPoint(), window.size().grownBy(frame));
    outer.moveCenter(parent ? parent->frameGeometry().center() : area.center());
    const QRect fitted = FitPlace(outer.marginsRemoved(frame), frame, {area});
    window.resize(fitted.size());
    window.move(fitted.topLeft() - QPoint(frame.left(), frame.top()));
}

} // namespace

QString PlaceFile(const QString& name)
{
    return ConfigFolder() + QLatin1Char('/') + name + QStringLiteral(".place");
}

bool RestorePlace(QWidget& window, const QString& name)
{
    QFile file(PlaceFile(name));
    if (file.open(QIODevice::ReadOnly) && file.size() <= kMaxPlaceBytes &&
        window.restoreGeometry(file.readAll())) {
        // Qt puts the window back where it was in the pixels of the screen
        // it was saved on; at another scale or on a smaller or missing
        // screen that may be partly or wholly off every screen.
        fitToScreens(window, window.geometry());
        return true;
    }
    placeOverParent(window);
    return false;
}

bool SavePlace(const QWidget& window, const QString& name)
{
    if (!QDir().mkpath(ConfigFolder()))
        return false;
    const QString path = PlaceFile(name);
    return !IsLinkOrOthersFile(path) && ReplaceFile(path, window.saveGeometry());
}

QRect FitPlace(const QRect& geometry, const QMargins& frame, const QList<QRect>& areas)
{
    if (areas.isEmpty())
        return geometry;
    const QRect outer = geometry.marginsAdded(frame);
    // The screen the window is on: the one holding its middle, else the one
    // it covers most, else the primary.
    QRect area = areas.constFirst();
    const auto holder = std::find_if(areas.begin(), areas.end(),
                                     [&](const QRect& a) { return a.contains(outer.center()); });
    if (holder != areas.end()) {
        area = *holder;
    } else {
        qint64 most = 0;
        for (const QRect& a : areas) {
            const QRect common = a.intersected(outer);
            const qint64 covered = qint64{common.width()} * common.height();
            if (covered > most) {
                most = covered;
                area = a;
            }
        }
    }
    const QSize size = geometry.size().boundedTo(area.size().shrunkBy(frame)).expandedTo({1, 1});
    QRect fitted(QPoint(), size.grownBy(frame));
    fitted.moveTopLeft(outer.topLeft());
    fitted.moveLeft(
        std::clamp(fitted.left(), area.left(), area.left() + area.width() - fitted.width()));
    fitted.moveTop(
        std::clamp(fitted.top(), area.top(), area.top() + area.height() - fitted.height()));
    return fitted.marginsRemoved(frame);
}

} // namespace placememory
