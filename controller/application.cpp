// SPDX-License-Identifier: GPL-3.0-or-later
#include "controller/application.h"

#include "common/conversions.h"

#include <QMessageBox>
#include <QPushButton>

V217Application::V217Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool V217Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showFailureBox(activeWindow(), failureText(e));
    }
    return false;
}

void showFailureBox(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("QMX V217"),
                    QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')), QMessageBox::Ok,
                    parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
}
