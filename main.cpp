// Program start: one copy per user, then the six windows in their order; the
// first tick of the main window does the rest.
#include "board/portwindow.h"
#include "controller/application.h"
#include "controller/clock.h"
#include "controller/relaywindow.h"
#include "controller/singleinstance.h"
#include "help/helpwindow.h"
#include "logger/loggerwindow.h"
#include "rules/ruleswindow.h"
#include "serial/Serial2.h"
#include "timers/chanwindow.h"

#include <QMessageBox>
#include <QPushButton>

int main(int argc, char** argv)
{
    V217Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QMX V217"));

    SingleInstance instance(QStringLiteral("qmxv217b"));
    if (!instance.acquire()) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Information"),
                        QStringLiteral("QMXV217 is already running."), QMessageBox::Ok);
        box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
        box.exec();
        return 0;
    }

    SystemClock clock;
    // The board link: 9600 baud, 8 data bits, no parity, 1 stop bit, no
    // flow control; the controller shows port problems itself. Declared
    // before the main window so the port closes after the window has gone.
    TSerial Serial1;
    Serial1.setDataBits(d8bit);
    Serial1.setCheckParity(false);
    Serial1.setNotifyErrors(neNone);
    TIOmodFM mainWindow(Serial1, clock);
    Controller& core = mainWindow.core();
    Serial1.setErrorBox([&mainWindow](const QString& text) { mainWindow.showError(text); });
    TPortFm portFm(core, &mainWindow);
    TRulesFm rulesFm(core, &mainWindow);
    TChanFm chanFm(core, &mainWindow);
    TLoggerFm loggerFm(core, &mainWindow);
    THelpFm helpFm(core, &mainWindow);
    mainWindow.setWindows({&portFm, &rulesFm, &chanFm, &loggerFm, &helpFm});
    mainWindow.show();
    return QApplication::exec();
}
