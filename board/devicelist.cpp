// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/devicelist.h"

#include <QFileInfo>
#include <QStringList>

namespace board {

QString AccessText(const SerialDeviceInfo& device)
{
    switch (device.access) {
    case DeviceAccess::Open:
        return QStringLiteral("Can be opened");
    case DeviceAccess::NoPermission:
        if (!device.accessGroup.isEmpty())
            return QStringLiteral(
                       "No permission: add yourself to the group %1, then log out and in")
                .arg(device.accessGroup);
        if (!device.accessOwner.isEmpty())
            return QStringLiteral("No permission: only %1 and root may open it; a udev rule can "
                                  "give it a group")
                .arg(device.accessOwner);
        return QStringLiteral(
            "No permission: only root may open it; a udev rule can give it a group");
    case DeviceAccess::InUse:
        return device.holder.isEmpty() ? QStringLiteral("In use by another program")
                                       : QStringLiteral("In use by %1").arg(device.holder);
    case DeviceAccess::Gone:
        return QStringLiteral("Gone");
    }
    return {};
}

QString ComText(const QList<int>& comNumbers)
{
    QStringList parts;
    for (int com : comNumbers)
        parts.append(QStringLiteral("COM %1").arg(com));
    return parts.join(QStringLiteral(", "));
}

QString UsbIdText(const SerialDeviceInfo& device)
{
    if (device.vendorId.isEmpty() && device.productId.isEmpty())
        return {};
    return device.vendorId + QLatin1Char(':') + device.productId;
}

QString MakerText(const SerialDeviceInfo& device)
{
    QStringList parts;
    for (const QString& part : {device.manufacturer, device.product})
        if (!part.isEmpty())
            parts.append(part);
    return parts.join(QStringLiteral(" / "));
}

QString LinkText(const PortLink& link)
{
    QString text = QStringLiteral("COM %1 -> %2").arg(link.com).arg(link.target);
    if (link.node.isEmpty())
        text += QStringLiteral(" (leads nowhere)");
    else if (link.node != link.target)
        text += QStringLiteral(" (%1)").arg(link.node);
    return text;
}

QString SourceText(const DeviceSurvey& survey)
{
    return survey.fromUdev ? QStringLiteral("Devices as udev knows them")
                           : QStringLiteral("udev is not running: read from /dev and /sys");
}

int FirstFreeCom(const QList<PortLink>& links)
{
    for (int com = 1; com <= 9; ++com) {
        bool linked = false;
        for (const PortLink& link : links)
            linked = linked || link.com == com;
        if (!linked)
            return com;
    }
    return 1;
}

bool SameDevice(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QString realA = QFileInfo(a).canonicalFilePath();
    return !realA.isEmpty() && realA == QFileInfo(b).canonicalFilePath();
}

qsizetype FindDevice(const QList<SerialDeviceInfo>& devices, const QString& path)
{
    for (qsizetype i = 0; i < devices.size(); ++i) {
        const SerialDeviceInfo& device = devices.at(i);
        if (path == device.node || path == device.byId || path == device.byPath)
            return i;
    }
    for (qsizetype i = 0; i < devices.size(); ++i)
        if (SameDevice(path, devices.at(i).node))
            return i;
    return -1;
}

} // namespace board
