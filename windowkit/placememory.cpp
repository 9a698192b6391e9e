// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowkit/placememory.h"

#include "common/folders.h"
#include "common/savefile.h"

#include <QDir>
#include <QFile>
#include <QScreen>
#include <QWidget>

namespace placememory {

namespace {

// The geometry Qt writes is a few dozen bytes; anything far larger is no
// place file.
constexpr qint64 kMaxPlaceBytes = 4096;

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
    // The frame the window manager gives the parent, which this window
    // will get too.
    const QMargins frame =
        parent ? QMargins(parent->geometry().left() - parent->x(),
                          parent->geometry().top() - parent->y(),
                          parent->frameGeometry().right() - parent->geometry().right(),
                          parent->frameGeometry().bottom() - parent->geometry().bottom())
               : QMargins();
    const QSize room = area.size().shrunkBy(frame);
    window.resize(window.size().boundedTo(room));
    QRect outer(QPoint(), window.size().grownBy(frame));
    outer.moveCenter(parent ? parent->frameGeometry().center() : area.center());
    outer.moveLeft(qBound(area.left(), outer.left(), area.left() + area.width() - outer.width()));
    outer.moveTop(qBound(area.top(), outer.top(), area.top() + area.height() - outer.height()));
    window.move(outer.topLeft());
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
        window.restoreGeometry(file.readAll()))
        return true;
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

} // namespace placememory
