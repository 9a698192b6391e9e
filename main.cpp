// Program start: one copy per user, then the six windows in their order; the
// first tick of the main window does the rest.
#include "board/portwindow.h"
#include "controller/application.h"
#include "controller/clock.h"
#include "controller/relaywindow.h"
#include "controller/seriallink.h"
#include "controller/singleinstance.h"
#include "help/helpwindow.h"
#include "logger/loggerwindow.h"
#include "rules/ruleswindow.h"
#include "timers/chanwindow.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

// No serial component yet: every open fails and nothing is ever received.
class NoSerialLink final : public SerialLink
{
public:
    [[nodiscard]] int Port() const override { return m_port; }
    void setPort(int port) override { m_port = port; }
    [[nodiscard]] bool Active() const override { return false; }
    void setActive(bool /*active*/) override {}
    void WriteString(const QByteArray& /*text*/) override {}
    int ReadChar(char& /*c*/) override { return 0; }

private:
    int m_port = 1;
};

} // namespace

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
    NoSerialLink serial;
    TIOmodFM mainWindow(serial, clock);
    Controller& core = mainWindow.core();
    TPortFm portFm(core, &mainWindow);
    TRulesFm rulesFm(core, &mainWindow);
    TChanFm chanFm(core, &mainWindow);
    TLoggerFm loggerFm(core, &mainWindow);
    THelpFm helpFm(core, &mainWindow);
    mainWindow.setWindows({&portFm, &rulesFm, &chanFm, &loggerFm, &helpFm});
    mainWindow.show();
    return QApplication::exec();
}
