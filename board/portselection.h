// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class SerialLink;
class View;

namespace board {

// The board's port: Port -> Set, the port dialog's result, the opening of a
// numbered port with its outcome in the port panel, and the port panel when
// the device hangs up.
class PortSelection
{
public:
    PortSelection(View& view, SerialLink& serial) : m_view(view), m_serial(serial) {}

    // Port -> Set: the port dialog with the open port's number, then the
    // port typed there.
    void choose();
    // Opens COM n for the text n; a port that will not open shows the port
    // problem and "COM x", and its reason in the message panel. True when the
    // port is open.
    bool open(const QString& text);
    // The serial component saw the device hang up.
    void hungUp();
    // Opens the hung-up port again; false when it would not open.
    [[nodiscard]] bool reopen();
    // The message panel's text for the last open that failed, empty once a
    // port has opened.
    [[nodiscard]] const QString& failure() const { return m_failure; }

private:
    View& m_view;
    SerialLink& m_serial;
    QString m_failure;
};

} // namespace board
