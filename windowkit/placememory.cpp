#include "windowkit/placememory.h"

#include "common/folders.h"
#include "common/savefile.h"

#include <QDir>
#include <QFile>
#include <QWidget>

namespace placememory {

namespace {

// The geometry Qt writes is a few dozen bytes; anything far larger is no
// place file.
constexpr qint64 kMaxPlaceBytes = 4096;

} // namespace

QString PlaceFile(const QString& name)
{
    return ConfigFolder() + QLatin1Char('/') + name + QStringLiteral(".place");
}

bool RestorePlace(QWidget& window, const QString& name)
{
    QFile file(PlaceFile(name));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPlaceBytes)
        return false;
    return window.restoreGeometry(file.readAll());
}

bool SavePlace(const QWidget& window, const QString& name)
{
    if (!QDir().mkpath(ConfigFolder()))
        return false;
    const QString path = PlaceFile(name);
    return !IsLinkOrOthersFile(path) && ReplaceFile(path, window.saveGeometry());
}

} // namespace placememory
