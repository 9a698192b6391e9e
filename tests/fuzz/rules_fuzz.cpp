// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary text through the rules checker, and every text's lines through
// the evaluation: nothing may crash, read past a line's end or set a bit
// above relay 16; an accepted text must hold only well-formed lines, and its
// evaluation may change only the relays its lines name.
#include "rules/rules.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "rules_fuzz: %s\n", what);
        std::abort();
    }
}

// Each line in a heap block of exactly its length, so the address sanitizer
// reports any read past its end.
struct ExactLines
{
    explicit ExactLines(const QStringList& lines)
    {
        for (const QString& line : lines) {
            blocks.emplace_back(new QChar[static_cast<size_t>(line.size())]);
            std::copy(line.cbegin(), line.cend(), blocks.back().get());
            views.emplace_back(blocks.back().get(), line.size());
        }
    }
    std::vector<std::unique_ptr<QChar[]>> blocks;
    std::vector<QStringView> views;
};

// Ports drawn from the input itself, so every input has its own.
uint32_t hashOf(const uint8_t* data, size_t size)
{
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

// The relays an accepted text names: the pairs of digits after each "=".
int namedRelays(const QStringList& lines)
{
    int named = 0;
    for (const QString& line : lines) {
        for (qsizetype p = line.indexOf(u'=') + 1; p + 3 <= line.size(); p += 3)
            named |= 1 << (line.mid(p, 2).toInt() - 1);
    }
    return named;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }

    QString error;
    int syntaxPos = 0;
    const bool accepted = rules::CheckRules(lines, error, syntaxPos);
    for (const QString& line : lines)
        require(!rules::TrimSpaces(line).isEmpty(), "a blank line survived the check");
    if (accepted) {
        require(error.isEmpty(), "an accepted text left a message");
        require(lines.size() <= rules::kMaxRuleLines, "more than 10 lines accepted");
        for (const QString& line : lines) {
            require(rules::CheckIllegalChars(line) == 0, "an illegal character accepted");
            require(rules::CheckSyntax(line).expected.isEmpty(), "a faulty line accepted");
        }
    } else {
        require(error.startsWith(u"Illegal character.\rLine: ") ||
                    error.startsWith(u"Syntax Error.\rLine: ") ||
                    error == u"Rules line limit exceeded. Max 10",
                "a refused text without its message");
    }

    // Accepted or not, the evaluation stays inside the lines.
    const ExactLines exact(lines);
    const std::span<const QStringView> views(exact.views);
    const uint32_t hash = hashOf(data, size);
    const int portOuts[] = {0, 0xFFFF, static_cast<int>(hash & 0xFFFF)};
    const int named = accepted ? namedRelays(lines) : 0xFFFF;
    for (const int portOut : portOuts) {
        for (int portIn = 0; portIn <= 64; ++portIn) {
            // The last round sets bits the board never reports.
            const int in = portIn < 64 ? portIn : static_cast<int>(hash >> 8);
            const int result = rules::ModifyOutputFromRules(views, in, portOut);
            require(result >= 0 && result <= 0xFFFF, "PortOut above 0xFFFF");
            require(((result ^ portOut) & ~named) == 0, "a relay no rule names changed");
        }
    }

    // Whatever is typed, the key filter lets only legal characters through.
    for (const QChar c : text) {
        const QChar kept = rules::RulesMemoKeyPress(c);
        require(kept.isNull() || rules::CheckIllegalChars(QStringView(&kept, 1)) == 0,
                "the key filter let an illegal character through");
    }
    return 0;
}
