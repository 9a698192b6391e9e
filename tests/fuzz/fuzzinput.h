// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Reads a fuzzer's bytes as a script: single bytes, words and runs of bytes,
// with zeros once the input is used up, so every input is a valid script.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    [[nodiscard]] bool empty() const { return m_pos >= m_size; }
    [[nodiscard]] std::uint8_t byte() { return empty() ? 0 : m_data[m_pos++]; }
    [[nodiscard]] int word() { return byte() << 8 | byte(); }
    [[nodiscard]] QByteArray bytes(std::size_t count)
    {
        const std::size_t n = count < m_size - m_pos ? count : m_size - m_pos;
        QByteArray run(reinterpret_cast<const char*>(m_data + m_pos), static_cast<qsizetype>(n));
        m_pos += n;
        return run;
    }
    [[nodiscard]] QByteArray rest() { return bytes(m_size - m_pos); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// A broken promise found by a fuzz target: say which, and stop so the fuzzer
// keeps the input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
