#include "controller/relaywindow.h"

#include "board/portwindow.h"
#include "controller/application.h"
#include "help/helpwindow.h"
#include "logger/loggerwindow.h"
#include "rules/ruleswindow.h"
#include "timers/chanwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

namespace {

QString displayText(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace

TIOmodFM::TIOmodFM(SerialLink& serial, const Clock& clock, QWidget* parent)
    : QMainWindow(parent), m_core(*this, serial, clock)
{
    setObjectName(QStringLiteral("DErezFM"));
    setWindowTitle(Controller::kTitle);

    auto* central = new QWidget(this);
    central->setFixedSize(396, 331);
    setCentralWidget(central);
    m_activeButt = new QPushButton(QStringLiteral("Activate"), central);
    m_activeButt->setObjectName(QStringLiteral("ActiveButt"));
    m_activeButt->setGeometry(310, 11, 75, 25);
    connect(m_activeButt, &QPushButton::clicked, this,
            [this] { m_core.run([this] { m_core.ActiveButtClick(); }); });

    createMenus();
    createStatusBar();
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    m_timer1.setTimerType(Qt::PreciseTimer);
    m_timer1.setInterval(Controller::kTickPeriod);
    connect(&m_timer1, &QTimer::timeout, this,
            [this] { m_core.run([this] { m_core.Timer1Timer(); }); });
    m_timer1.start();
}

void TIOmodFM::createMenus()
{
    const auto add = [this](QMenu* menu, const QString& text, const QString& name,
                            void (Controller::*handler)()) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this,
                [this, handler] { m_core.run([this, handler] { (m_core.*handler)(); }); });
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    add(file, QStringLiteral("&Load"), QStringLiteral("Load1"), &Controller::Load1Click);
    add(file, QStringLiteral("&Save"), QStringLiteral("Save1"), &Controller::Save1Click);
    file->addSeparator()->setObjectName(QStringLiteral("N1"));
    add(file, QStringLiteral("E&xit"), QStringLiteral("Exit2"), &Controller::Exit2Click);
    QMenu* port = menuBar()->addMenu(QStringLiteral("&Port"));
    port->setObjectName(QStringLiteral("Port1"));
    add(port, QStringLiteral("&Set"), QStringLiteral("Set1"), &Controller::Set1Click);
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    add(help, QStringLiteral("&Contents"), QStringLiteral("Contents1"),
        &Controller::Contents1Click);
}

void TIOmodFM::createStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    bar->installEventFilter(this);
    const std::array<int, 3> widths{40, 190, 50};
    const std::array<QString, 3> texts{QStringLiteral("COM x"), QStringLiteral("Ready"), QString()};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(texts[i], bar);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setAlignment(Qt::AlignCenter);
        label->setFixedWidth(widths[i]);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->installEventFilter(this);
        bar->addWidget(label);
        m_panels[i] = label;
    }
}

bool TIOmodFM::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        m_core.run([this] { m_core.StatusBar1DblClick(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TIOmodFM::closeEvent(QCloseEvent* event)
{
    bool canClose = true;
    m_core.run([this, &canClose] { m_core.FormCloseQuery(canClose); });
    if (canClose)
        event->accept();
    else
        event->ignore();
}

void TIOmodFM::setStatusText(int panel, const QString& text)
{
    if (panel >= 0 && panel < 3)
        m_panels[panel]->setText(text);
}

void TIOmodFM::setCaption(const QString& caption)
{
    setWindowTitle(caption);
}

void TIOmodFM::showError(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), displayText(text),
                    QMessageBox::Ok, this);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
}

void TIOmodFM::showInformation(const QString& text)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), displayText(text),
                    QMessageBox::Ok, this);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
}

View::Answer TIOmodFM::confirm(const QString& text, Buttons buttons)
{
    QMessageBox::StandardButtons standard = QMessageBox::Yes | QMessageBox::No;
    if (buttons == Buttons::YesNoCancel)
        standard |= QMessageBox::Cancel;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), displayText(text), standard,
                    this);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Yes"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&No"));
    if (buttons == Buttons::YesNoCancel)
        box.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancel"));
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void TIOmodFM::showFailure(const QString& text)
{
    showFailureBox(this, text);
}

void TIOmodFM::beep()
{
    QApplication::beep();
}

QString TIOmodFM::chooseFile(FileDialog dialog)
{
    QFileDialog box(this);
    box.setOption(QFileDialog::ReadOnly, false);
    switch (dialog) {
    case FileDialog::SaveLog:
        box.setWindowTitle(QStringLiteral("Save Log File"));
        box.setNameFilters({QStringLiteral("Log Files (*.txt)"), QStringLiteral("All Files (*)")});
        box.setDefaultSuffix(QStringLiteral("txt"));
        box.setAcceptMode(QFileDialog::AcceptSave);
        break;
    case FileDialog::OpenProject:
        box.setWindowTitle(QStringLiteral("Load IO Module Data"));
        box.setNameFilters(
            {QStringLiteral("IO Module Files (*.iom)"), QStringLiteral("All Files (*)")});
        box.setDefaultSuffix(QStringLiteral("iom"));
        box.setAcceptMode(QFileDialog::AcceptOpen);
        box.setFileMode(QFileDialog::AnyFile);
        break;
    case FileDialog::SaveProject:
        box.setWindowTitle(QStringLiteral("Save IO Module Data"));
        box.setNameFilters(
            {QStringLiteral("IO Module Files (*.iom)"), QStringLiteral("All Files (*)")});
        box.setDefaultSuffix(QStringLiteral("iom"));
        box.setAcceptMode(QFileDialog::AcceptSave);
        break;
    }
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return {};
    return box.selectedFiles().constFirst();
}

void TIOmodFM::showRelayIndicators(quint16 /*portOut*/, bool /*allIdle*/)
{
}

void TIOmodFM::showInputIndicators(int /*portIn*/)
{
}

void TIOmodFM::setLamp(Lamp lamp, bool lit)
{
    if (lamp == Lamp::Activate)
        m_activeButt->setText(lit ? QStringLiteral("Activate *") : QStringLiteral("Activate"));
}

void TIOmodFM::setSetButton(int /*index*/, bool /*set*/)
{
}

void TIOmodFM::setCountLabel(const QString& /*text*/)
{
}

bool TIOmodFM::showPortDialog(QString& portText)
{
    return m_windows.port && m_windows.port->execute(portText);
}

bool TIOmodFM::showTimerEditor()
{
    return m_windows.chan && m_windows.chan->exec() == QDialog::Accepted;
}

bool TIOmodFM::showRulesEditor()
{
    return m_windows.rules && m_windows.rules->exec() == QDialog::Accepted;
}

bool TIOmodFM::showLoggerWindow()
{
    return m_windows.logger && m_windows.logger->exec() == QDialog::Accepted;
}

void TIOmodFM::showHelp()
{
    if (m_windows.help)
        m_windows.help->exec();
}

bool TIOmodFM::editorWindowVisible() const
{
    return (m_windows.chan && m_windows.chan->isVisible()) ||
           (m_windows.logger && m_windows.logger->isVisible());
}

void TIOmodFM::requestClose()
{
    close();
}
