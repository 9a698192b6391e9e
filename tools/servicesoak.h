// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// The soak of qmxv217d (v217-soak --service): the service process with
// several simulated boards, a fault injected every few seconds, each board
// in turn. See tools/servicesoak.cpp.
struct ServiceSoakOptions
{
    double seconds = 900;
    double faultEvery = 4;
    int boards = 2;
    quint32 seed = 0;
    // Serves the web panel too, with a page of each board open and the
    // metrics read every second.
    bool web = false;
};

// Runs the soak in workFolder with qmxv217d from service; the exit code.
[[nodiscard]] int RunServiceSoak(const ServiceSoakOptions& options, const QString& workFolder,
                                 const QString& service);
