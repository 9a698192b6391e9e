// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

// Readable failure output for Qt texts, with the carriage returns of the
// messages made visible.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << QString(text).replace(QLatin1Char('\r'), QStringLiteral("\\r")).toStdString()
        << '"';
}

inline void PrintTo(const QStringList& lines, std::ostream* os)
{
    *os << '{';
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            *os << ", ";
        PrintTo(lines.at(i), os);
    }
    *os << '}';
}
