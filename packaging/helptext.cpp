// SPDX-License-Identifier: GPL-3.0-or-later
// Build tool: writes the help window's usage notes as a plain text file for
// /usr/share/doc, so the installed documentation is always the text the
// program shows. Paragraphs, single long lines in the window, are wrapped to
// the width of a terminal.
//
//   v217-helptext <output file>
#include "help/helptext.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

namespace {

constexpr qsizetype kWidth = 78;

QStringList wrapped(const QString& line)
{
    if (line.size() <= kWidth) {
        return {line};
    }
    QStringList lines;
    QString current;
    for (const QString& word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!current.isEmpty() && current.size() + 1 + word.size() > kWidth) {
            lines << current;
            current.clear();
        }
        current += current.isEmpty() ? word : QLatin1Char(' ') + word;
    }
    if (!current.isEmpty()) {
        lines << current;
    }
    return lines;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: v217-helptext <output file>\n";
        return 1;
    }
    QFile file(args.at(1));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        QTextStream(stderr) << "v217-helptext: cannot write " << file.fileName() << '\n';
        return 1;
    }
    QTextStream out(&file);
    for (const QString& line : HelpText()) {
        for (const QString& part : wrapped(line)) {
            out << part << '\n';
        }
    }
    out.flush();
    return out.status() == QTextStream::Ok && file.error() == QFileDevice::NoError ? 0 : 1;
}
