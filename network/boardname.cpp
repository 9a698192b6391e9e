// SPDX-License-Identifier: GPL-3.0-or-later
#include "network/boardname.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace network {

namespace {

constexpr qsizetype kMaxLength = 32;

// What a board name may hold, every other character made '_'.
QString madeValid(QString text)
{
    static const QRegularExpression other(QStringLiteral("[^A-Za-z0-9_.-]"));
    return text.replace(other, QStringLiteral("_"));
}

// The host's first label: "pi.fritz.box" is "pi".
QString machineOf(const QString& host)
{
    return madeValid(host.section(QLatin1Char('.'), 0, 0));
}

} // namespace

bool ValidBoardName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_.-]{1,32}$"));
    return pattern.match(name).hasMatch() && name != QStringLiteral(".") &&
           name != QStringLiteral("..");
}

QString PortBoardName(const QString& host, const QString& port)
{
    QString machine = machineOf(host);
    if (machine.isEmpty())
        machine = QStringLiteral("qmxv217d");
    const bool com = port.size() == 1 && port.at(0).isDigit();
    const QString device =
        com ? QStringLiteral("com") + port : madeValid(QFileInfo(port).fileName());
    if (machine.size() + 1 + device.size() <= kMaxLength)
        return machine + QLatin1Char('-') + device;
    // A stable device name ends in what tells adapters apart: the serial
    // number and the interface (usb-FTDI_..._A12345-if00-port0), or the
    // socket of a /dev/serial/by-path name.
    machine = machine.left(12);
    return machine + QLatin1Char('-') + device.right(kMaxLength - 1 - machine.size());
}

QString HostBoardName(const QString& host)
{
    const QString name = machineOf(host).left(kMaxLength);
    return ValidBoardName(name) ? name : QStringLiteral("desktop");
}

QString DiscoveryNodeId(const QString& board)
{
    QString id = QStringLiteral("qmxv217_") + board;
    static const QRegularExpression other(QStringLiteral("[^A-Za-z0-9_-]"));
    return id.replace(other, QStringLiteral("_"));
}

} // namespace network
