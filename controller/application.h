// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>

// The event loop's last guard: a failure that escapes a handler is shown in
// the box captioned "QMX V217" and the program goes on. No exception ever
// crosses into Qt.
class V217Application : public QApplication
{
public:
    V217Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The failure box: error icon, OK, caption "QMX V217".
void showFailureBox(QWidget* parent, const QString& text);
