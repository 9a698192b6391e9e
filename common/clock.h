// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

// The local wall clock, behind one interface so the timer engine, the logger
// and the editors can be driven across days in tests.
class Clock
{
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock
{
public:
    [[nodiscard]] QDateTime now() const override { return QDateTime::currentDateTime(); }
};
