// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <chrono>

// A resolver the test holds: this test program's own getaddrinfo, which the
// MQTT library calls in place of the C library's. A lookup of a held name
// waits until the test lets it go, as a lookup waits for a slow or silent
// name server, and "broker.slow.test" then resolves as 127.0.0.1; every
// other name is looked up at once by the C library.
namespace slowresolver {

// How long a held lookup waits at most, so a test that never lets it go
// still ends.
constexpr std::chrono::milliseconds kLongest{3000};

// Lookups of name wait from now on, until release().
void hold(const QByteArray& name);
void release();
// Lookups of a held name that have begun, and those still waiting.
[[nodiscard]] int begun();
[[nodiscard]] int waiting();

} // namespace slowresolver
