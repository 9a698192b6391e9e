// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

// Settings files of "key = value" lines, as both programs keep them: lines
// end in LF or CR LF; blank lines and lines starting with "#" or ";" are
// skipped; keys and values are trimmed, keys compare without case and each
// is set once (per section, where the file has sections). What a key means
// and what its value may be stay with each file's owner; the reader only
// knows the form, and words its faults so the owner can put "FILE:LINE: "
// before them.
namespace keyvalue {

struct Syntax
{
    // Empty: no sections. Otherwise "[name]" lines start sections, and this
    // is what one is called in messages ("expected 'key = value' or
    // '[board]'").
    QString section;
    // The system's calls end a path at a NUL byte: "/dev/ttyUSB0\0..."
    // would open another device than the one written.
    bool refuseNul = true;
};

struct Entry
{
    // From 1.
    int line = 0;
    // A "[name]" line: name is the section's name, key and value are empty.
    bool isSection = false;
    // The key as written (or the section's name), for messages.
    QString name;
    // The key in lower case, to look up.
    QString key;
    QString value;
};

struct Fault
{
    int line = 0;
    QString problem;
};

// What a file holds: its entries in file order, up to the first line that
// is not of the form. That fault comes after every entry: an owner checks
// the entries first, so the first fault of the file is the one it reports.
struct Contents
{
    QList<Entry> entries;
    std::optional<Fault> fault;
};

[[nodiscard]] Contents Parse(const QByteArray& text, const Syntax& syntax);

// The bytes of the file, or the problem ("cannot be read: ...", "is larger
// than N bytes") to put after "FILE: ". No limit when maxBytes is empty.
[[nodiscard]] std::variant<QByteArray, QString> ReadFile(const QString& path,
                                                         std::optional<qint64> maxBytes);

} // namespace keyvalue
