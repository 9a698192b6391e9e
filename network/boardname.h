// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A board's name, as both programs make and check it: it goes into log
// lines, the name of the board's log file, its MQTT topics and client id,
// and its Home Assistant device.
namespace network {

// 1 to 32 letters, digits, '.', '_' or '-', and not "." or "..".
[[nodiscard]] bool ValidBoardName(const QString& name);
// The words a board name may hold, for messages.
inline const QString kBoardNameRule = QStringLiteral("1 to 32 letters, digits, '.', '_' or '-'");

// The service's board without a name of its own: the host name and the
// port, "<host>-com<N>" or "<host>-<device file name>" (for
// /dev/serial/by-id/... the stable name of the adapter), "qmxv217d" for an
// empty host, cut to a valid board name. Two services on one broker, each
// left at the default, so get client ids, topics and Home Assistant
// devices of their own.
[[nodiscard]] QString PortBoardName(const QString& host, const QString& port);
// The desktop's board without a name of its own: the host name, "desktop"
// for an empty one.
[[nodiscard]] QString HostBoardName(const QString& host);

// The board's device in Home Assistant discovery: qmxv217_<name> with
// every character other than letters, digits, '_' and '-' made '_'.
[[nodiscard]] QString DiscoveryNodeId(const QString& board);

} // namespace network
