// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QString>

// Where the service's web panel listens, and the file of its password. Off
// until an address is given. A panel that anyone on the network can reach
// switches relays for anyone: it listens beyond the loopback interface
// only with a password.
namespace web {

struct HttpConfig
{
    QHostAddress address;
    quint16 port = 0;
    // Absolute; empty: no password (loopback only).
    QString passwordFile;

    [[nodiscard]] bool enabled() const { return port != 0; }
    // "127.0.0.1:8217", "[::1]:8217".
    [[nodiscard]] QString text() const;
};

// The same address, port and password file.
[[nodiscard]] bool SameHttpConfig(const HttpConfig& a, const HttpConfig& b);

// The keys of the configuration's general part (before the first board).
[[nodiscard]] bool IsHttpKey(const QString& key);

// "ADDR:PORT" (an IPv6 address in brackets) into config; the problem text
// when the value is wrong.
[[nodiscard]] QString ParseHttpAddress(HttpConfig& config, const QString& value);

// What start refuses: an address beyond loopback with no password file, or
// a password file that cannot be read, is empty, or others may read. The
// password is set when there is none of those.
[[nodiscard]] QString CheckHttpConfig(const HttpConfig& config, QString& password);

} // namespace web
