// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/portpath.h"

#include "common/folders.h"

#include <QFileInfo>

#include <array>

namespace {

// The usual device of each COM number when the port folder has no link:
// on-board UARTs first, then USB serial adapters, then USB modems (CDC ACM).
constexpr std::array<const char*, 9> kDefaultDevices{
    "/dev/ttyS0",   "/dev/ttyS1",   "/dev/ttyS2",   "/dev/ttyS3",   "/dev/ttyUSB0",
    "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyACM0", "/dev/ttyACM1",
};

} // namespace

QString PortDevicePath(int port)
{
    return PortDevicePath(port, {PortFolder()});
}

QString PortDevicePath(int port, const QStringList& folders)
{
    if (port < 1 || port > static_cast<int>(kDefaultDevices.size()))
        return {};
    for (const QString& folder : folders) {
        const QString link = folder + QStringLiteral("/com%1").arg(port);
        // A dangling link still counts: it is the user's choice of device (an
        // adapter that is unplugged right now), and opening it reports that.
        const QFileInfo info(link);
        if (info.isSymLink() || info.exists())
            return link;
    }
    return QString::fromLatin1(kDefaultDevices.at(static_cast<size_t>(port - 1)));
}
