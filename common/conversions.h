// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <stdexcept>

// A failure that a handler does not catch itself: a text that is not a
// number, a file that cannot be created or opened. It ends the handler at the
// point of failure; the guard around the handlers shows its message in the
// box captioned "QMX V217" and the program goes on.
class V217Error : public std::runtime_error
{
public:
    explicit V217Error(const QString& message);
    [[nodiscard]] const QString& message() const { return m_message; }

private:
    QString m_message;
};

// The text shown for a failure: the message with a "." appended unless it
// already ends in one.
[[nodiscard]] QString failureText(const QString& message);
// The text shown for a failure a handler did not catch: the message of a
// V217Error, the description of any other exception.
[[nodiscard]] QString failureText(const std::exception& e);

[[noreturn]] void throwCannotCreateFile(const QString& path);
[[noreturn]] void throwCannotOpenFile(const QString& path);

// Decimal integer, optional sign, surrounding blanks allowed.
// Throws "'%s' is not a valid integer value".
[[nodiscard]] int StrToInt(const QString& text);
// As StrToInt, but gives def for a text that is not a number.
[[nodiscard]] int StrToIntDef(const QString& text, int def);

// Decimal number with the regional decimal separator; "." and "," are both
// accepted so a file written under one locale reads under another.
// Throws "'%s' is not a valid floating point value".
[[nodiscard]] double StrToFloat(const QString& text);
// As StrToFloat without throwing; ok tells whether the text was a number.
[[nodiscard]] double StrToFloatOk(const QString& text, bool* ok);
