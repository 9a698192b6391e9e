// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/conversions.h"

#include <algorithm>
#include <cmath>

V217Error::V217Error(const QString& message)
    : std::runtime_error(message.toStdString()), m_message(message)
{
}

QString failureText(const QString& message)
{
    return message.endsWith(QLatin1Char('.')) ? message : message + QLatin1Char('.');
}

QString failureText(const std::exception& e)
{
    const auto* failure = dynamic_cast<const V217Error*>(&e);
    return failureText(failure ? failure->message() : QString::fromUtf8(e.what()));
}

void throwCannotCreateFile(const QString& path)
{
    throw V217Error(QStringLiteral("Cannot create file %1").arg(path));
}

void throwCannotOpenFile(const QString& path)
{
    throw V217Error(QStringLiteral("Cannot open file %1").arg(path));
}

int StrToInt(const QString& text)
{
    bool ok = false;
    const QString t = text.trimmed();
    int value = 0;
    // QString::toInt accepts only plain digits with an optional sign here;
    // a "+" prefix is allowed as well.
    if (!t.isEmpty() && !t.contains(QLatin1Char(' ')))
        value = t.toInt(&ok, 10);
    if (!ok)
        throw V217Error(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

int StrToIntDef(const QString& text, int def)
{
    try {
        return StrToInt(text);
    } catch (const V217Error&) {
        return def;
    }
}

double StrToFloatOk(const QString& text, bool* ok)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool good = false;
    double value = 0;
    // Only digits, one point, a sign and an exponent; no thousands separators,
    // no "inf" or "nan".
    static const auto isNumberChar = [](QChar c) {
        return c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('-') ||
               c == QLatin1Char('+') || c == QLatin1Char('e') || c == QLatin1Char('E');
    };
    if (!t.isEmpty() && std::all_of(t.begin(), t.end(), isNumberChar) &&
        t.count(QLatin1Char('.')) <= 1) {
        value = t.toDouble(&good);
        good = good && std::isfinite(value);
    }
    if (ok)
        *ok = good;
    return good ? value : 0.0;
}

double StrToFloat(const QString& text)
{
    bool ok = false;
    const double value = StrToFloatOk(text, &ok);
    if (!ok)
        throw V217Error(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}
