// SPDX-License-Identifier: GPL-3.0-or-later
#include "controller/relaywindow.h"

#include "board/portwindow.h"
#include "board/ticktimer.h"
#include "controller/application.h"
#include "controller/lamppictures.h"
#include "controller/mainwindowtable.h"
#include "help/helpwindow.h"
#include "logger/loggerwindow.h"
#include "rules/ruleswindow.h"
#include "safety/boardsettings.h"
#include "timers/chanwindow.h"
#include "windowkit/linkawarefiledialog.h"
#include "windowkit/pixelform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHash>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

using mainwindowtable::Control;
using mainwindowtable::kHint;
using mainwindowtable::Kind;
using mainwindowtable::kInputNames;
using mainwindowtable::relayIndicatorName;
using mainwindowtable::twoDigits;
using pixelform::place;
using pixelform::placeLabel;

namespace {

QString displayText(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

// --- accessible names: what a control is and its state ---

QString relayState(bool allIdle, bool on)
{
    if (allIdle)
        return QStringLiteral("idle");
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

QString switchName(View::Lamp lamp)
{
    switch (lamp) {
    case View::Lamp::Activate:
        return QStringLiteral("Activate");
    case View::Lamp::Timers:
        return QStringLiteral("TIMERS switch");
    case View::Lamp::InputRules:
        return QStringLiteral("INPUT RULES switch");
    case View::Lamp::LogTimer:
        return QStringLiteral("Log Timer switch");
    case View::Lamp::LogNow:
        return QStringLiteral("Log Now switch");
    case View::Lamp::SetAll:
        return QStringLiteral("Set All");
    case View::Lamp::ClearAll:
        return QStringLiteral("Clear All");
    case View::Lamp::Activity:
        return QStringLiteral("Logger activity lamp");
    }
    return {};
}

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

} // namespace

TIOmodFM::TIOmodFM(Controller& core, const Windows& windows, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      m_core(core), m_windows(windows), m_timer1(this)
{
    setObjectName(QStringLiteral("DErezFM"));
    setWindowTitle(Controller::kTitle);
    setWindowIcon(lamppictures::MainIcon());
    QApplication::setWindowIcon(windowIcon());
    setFont(pixelform::formFont());

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("ClientArea"));
    m_client->setFixedSize(kClientSize);
    setCentralWidget(m_client);

    createControls();
    createMenus();
    createStatusBar();
    connectControls();
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    m_timer1.setObjectName(QStringLiteral("Timer1"));
    board::SetUpTickTimer(m_timer1);
    // The tick runs as a queued call, after the timer's own handler has
    // returned: Qt holds back a timer's next timeout while its handler is
    // still running, so a box that a tick shows (the watchdog, the timer data,
    // anything the first tick meets) would otherwise stop every later tick,
    // the clock panel's included, until it is closed.
    connect(
        &m_timer1, &QTimer::timeout, this, [this] { m_core.run([this] { m_core.Timer1Timer(); }); },
        Qt::QueuedConnection);
    m_timer1.start();
}

void TIOmodFM::createControls()
{
    const qreal ratio = devicePixelRatio();
    QHash<QString, QWidget*> parents{{QString(), m_client}};
    for (const Control& c : mainwindowtable::controls()) {
        QWidget* parent = parents.value(c.parent, m_client);
        switch (c.kind) {
        case Kind::Panel: {
            auto* panel = place<QFrame>(parent, c.name, c.geometry);
            panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
            panel->setLineWidth(1);
            parents.insert(c.name, panel);
            break;
        }
        case Kind::Label:
            if (c.geometry.isEmpty()) {
                placeLabel(parent, c.name, c.geometry.topLeft(), c.text);
            } else {
                auto* label = place<QLabel>(parent, c.name, c.geometry, c.text);
                label->setFixedWidth(c.geometry.width());
            }
            break;
        case Kind::RelayIndicator:
        case Kind::InputIndicator:
        case Kind::Template:
        case Kind::ActivityLamp: {
            auto* picture = place<QLabel>(parent, c.name, c.geometry);
            picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            picture->setProperty("tag", c.tag);
            break;
        }
        case Kind::SetButton:
        case Kind::LampSwitch: {
            auto* button = place<QToolButton>(parent, c.name, c.geometry);
            button->setIcon(lamppictures::Glyph(c.image));
            button->setIconSize(QSize(16, 16));
            button->setFocusPolicy(Qt::StrongFocus);
            if (c.kind == Kind::SetButton) {
                button->setProperty("tag", c.tag);
                m_setButtons.at(static_cast<size_t>(c.tag)) = button;
            }
            break;
        }
        case Kind::Button: {
            auto* button = place<QPushButton>(parent, c.name, c.geometry, c.text);
            button->setIcon(lamppictures::Glyph(c.image));
            button->setIconSize(QSize(16, 16));
            button->setAccessibleName(c.text.trimmed());
            break;
        }
        }
    }

    m_onFace = QPixmap::fromImage(lamppictures::Picture(QStringLiteral("onimage"), ratio));
    m_offFace = QPixmap::fromImage(lamppictures::Picture(QStringLiteral("offimage"), ratio));
    m_allOffFace = QPixmap::fromImage(lamppictures::Picture(QStringLiteral("alloffimage"), ratio));
    for (const auto& [name, face] :
         {std::pair{"OnImage", &m_onFace}, std::pair{"OffImage", &m_offFace},
          std::pair{"AllOffImage", &m_allOffFace}}) {
        QLabel* templ = pictureLabel(QString::fromLatin1(name));
        templ->setPixmap(*face);
        templ->hide();
    }

    for (int relay = 1; relay <= 16; ++relay) {
        QLabel* indicator = pictureLabel(relayIndicatorName(relay));
        indicator->setToolTip(kHint);
        m_relayIndicators.at(static_cast<size_t>(relay - 1)) = indicator;
    }
    const QImage input = lamppictures::Picture(QStringLiteral("inputimage"), ratio);
    for (int i = 0; i < 6; ++i) {
        QLabel* indicator =
            pictureLabel(QString::fromLatin1(kInputNames.at(static_cast<size_t>(i))));
        indicator->setToolTip(kHint);
        m_inputIndicators.at(static_cast<size_t>(i)) = indicator;
        m_inputPictures.at(static_cast<size_t>(i)) = input;
    }
    for (const auto& [name, tip] :
         {std::pair{"InputRulesSB", "Switch the input rules on or off"},
          std::pair{"TimerSB", "Switch the relay timers on or off"},
          std::pair{"InputLogSB", "Log on the timer schedule"}, std::pair{"InputNowSB", "Log now"}})
        m_client->findChild<QWidget*>(QString::fromLatin1(name))
            ->setToolTip(QString::fromLatin1(tip));
    m_ledImage = pictureLabel(QStringLiteral("LedImage"));
    m_ledPicture = lamppictures::Picture(QStringLiteral("ledimage"), ratio);
    m_setAllButt = m_client->findChild<QPushButton*>(QStringLiteral("SetAllButt"));
    m_clearAllButt = m_client->findChild<QPushButton*>(QStringLiteral("ClearAllButt"));
    m_setAllButt->installEventFilter(this);
    m_clearAllButt->installEventFilter(this);

    // The design look: every relay idle, both lamps of every input dark,
    // every switch off, every SET button clear.
    showRelayIndicators(0, true);
    for (size_t i = 0; i < m_inputIndicators.size(); ++i) {
        m_inputIndicators[i]->setPixmap(QPixmap::fromImage(m_inputPictures[i]));
        m_inputIndicators[i]->setAccessibleName(QStringLiteral("Input %1").arg(i + 1));
    }
    for (Lamp lamp : {Lamp::Activate, Lamp::Timers, Lamp::InputRules, Lamp::LogTimer, Lamp::LogNow,
                      Lamp::SetAll, Lamp::ClearAll, Lamp::Activity})
        setLamp(lamp, false);
    for (int i = 0; i < 16; ++i)
        setSetButton(i, false);
}

QLabel* TIOmodFM::pictureLabel(const QString& name) const
{
    return m_client->findChild<QLabel*>(name);
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
    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    add(file, QStringLiteral("&Load"), QStringLiteral("Load1"), &Controller::Load1Click);
    add(file, QStringLiteral("&Save"), QStringLiteral("Save1"), &Controller::Save1Click);
    file->addSeparator()->setObjectName(QStringLiteral("N1"));
    add(file, QStringLiteral("E&xit"), QStringLiteral("Exit2"), &Controller::Exit2Click);
    m_portMenu = menuBar()->addMenu(QStringLiteral("&Port"));
    m_portMenu->setObjectName(QStringLiteral("Port1"));
    add(m_portMenu, QStringLiteral("&Set"), QStringLiteral("Set1"), &Controller::Set1Click);
    m_viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    m_viewMenu->setObjectName(QStringLiteral("View1"));
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    add(help, QStringLiteral("&Contents"), QStringLiteral("Contents1"),
        &Controller::Contents1Click);
}

void TIOmodFM::addViewWindow(const QString& text, const QString& name, QWidget& window)
{
    addWindowItem(*m_viewMenu, text, name, window);
}

void TIOmodFM::addPortWindow(const QString& text, const QString& name, QWidget& window)
{
    addWindowItem(*m_portMenu, text, name, window);
}

void TIOmodFM::addWindowItem(QMenu& menu, const QString& text, const QString& name, QWidget& window)
{
    QAction* action = menu.addAction(text);
    action->setObjectName(name);
    connect(action, &QAction::triggered, &window, [&window] {
        window.show();
        window.raise();
        window.activateWindow();
    });
}

// The status bar is part of the pixel layout: 19 pixels along the foot of the
// client area, three sunken panels of 40, 190 and 50 pixels from the left.
void TIOmodFM::createStatusBar()
{
    m_statusBar = place<QFrame>(m_client, QStringLiteral("StatusBar1"), QRect(0, 331, 396, 19));
    m_statusBar->setAccessibleName(QStringLiteral("Status bar"));
    m_statusBar->installEventFilter(this);
    const std::array<int, 3> widths{40, 190, 50};
    const std::array<QString, 3> texts{QStringLiteral("COM x"), QStringLiteral("Ready"), QString()};
    const std::array<QString, 3> roles{QStringLiteral("Port"), QStringLiteral("Status"),
                                       QStringLiteral("Time")};
    int left = 0;
    for (size_t i = 0; i < 3; ++i) {
        auto* label = place<QLabel>(m_statusBar, QStringLiteral("StatusPanel%1").arg(i),
                                    QRect(left, 1, widths[i], 18), texts[i]);
        label->setAlignment(Qt::AlignCenter);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
        label->setAccessibleDescription(roles[i]);
        label->installEventFilter(this);
        m_panels[i] = label;
        left += widths[i];
    }
}

void TIOmodFM::connectButton(const QString& name, void (Controller::*handler)())
{
    auto* button = m_client->findChild<QAbstractButton*>(name);
    connect(button, &QAbstractButton::clicked, this,
            [this, handler] { m_core.run([this, handler] { (m_core.*handler)(); }); });
}

void TIOmodFM::connectControls()
{
    for (QToolButton* button : m_setButtons) {
        const int tag = button->property("tag").toInt();
        connect(button, &QToolButton::clicked, this,
                [this, tag] { m_core.run([this, tag] { m_core.SpeedButton1Click(tag); }); });
    }
    connectButton(QStringLiteral("WriteButt"), &Controller::WriteButtClick);
    connectButton(QStringLiteral("SetAllButt"), &Controller::SetAllButtClick);
    connectButton(QStringLiteral("ClearAllButt"), &Controller::ClearAllButtClick);
    connectButton(QStringLiteral("ActiveButt"), &Controller::ActiveButtClick);
    connectButton(QStringLiteral("InputRulesSB"), &Controller::InputRulesSBClick);
    connectButton(QStringLiteral("RulesEditButt"), &Controller::RulesEditButtClick);
    connectButton(QStringLiteral("TimerSB"), &Controller::TimerSBClick);
    connectButton(QStringLiteral("OutEditButt"), &Controller::OutEditButtClick);
    connectButton(QStringLiteral("InputLogSB"), &Controller::InputLogSBClick);
    connectButton(QStringLiteral("InputNowSB"), &Controller::InputNowSBClick);
    connectButton(QStringLiteral("LogEditButt"), &Controller::LogEditButtClick);
    connectButton(QStringLiteral("LogSaveButt"), &Controller::LogSaveButtClick);
}

// Set All and Clear All light their lamp while a mouse button (or the space
// key) holds them down, whether or not the system is active.
bool TIOmodFM::pressFeedback(QObject* watched, QEvent* event)
{
    const bool setAll = watched == m_setAllButt;
    void (Controller::*down)() =
        setAll ? &Controller::SetAllButtMouseDown : &Controller::ClearAllButtMouseDown;
    void (Controller::*up)() =
        setAll ? &Controller::SetAllButtMouseUp : &Controller::ClearAllButtMouseUp;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        m_core.run([this, down] { (m_core.*down)(); });
        break;
    case QEvent::MouseButtonRelease:
        m_core.run([this, up] { (m_core.*up)(); });
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && !key->isAutoRepeat()) {
            if (event->type() == QEvent::KeyPress)
                m_core.run([this, down] { (m_core.*down)(); });
            else
                m_core.run([this, up] { (m_core.*up)(); });
        }
        break;
    }
    default:
        break;
    }
    return false;
}

bool TIOmodFM::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_setAllButt || watched == m_clearAllButt)
        return pressFeedback(watched, event);
    if (event->type() == QEvent::MouseButtonDblClick) {
        m_core.run([this] { m_core.StatusBar1DblClick(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TIOmodFM::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        pixelform::centreOnScreen(this);
    }
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

void TIOmodFM::setStatusText(Panel panel, const QString& text)
{
    m_panels.at(static_cast<size_t>(panel))->setText(text);
    if (panel == Panel::Message && m_messageObserver)
        m_messageObserver(text);
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

View::Answer TIOmodFM::confirm(const QString& text, Buttons buttons, Answer escape)
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
    // Left to itself Qt makes No the escape button of a Yes/No box, whatever
    // No means there.
    const QMessageBox::StandardButton escapeButton = escape == Answer::Yes  ? QMessageBox::Yes
                                                     : escape == Answer::No ? QMessageBox::No
                                                                            : QMessageBox::Cancel;
    if (QAbstractButton* button = box.button(escapeButton))
        box.setEscapeButton(button);
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
    LinkAwareFileDialog box(this);
    const QStringList projectFilters{QStringLiteral("IO Module Files (*.iom)"),
                                     QStringLiteral("All Files (*)")};
    switch (dialog) {
    case FileDialog::SaveLog:
        box.setWindowTitle(QStringLiteral("Save Log File"));
        box.setNameFilters({QStringLiteral("Log Files (*.txt)"), QStringLiteral("All Files (*)")});
        box.setDefaultSuffix(QStringLiteral("txt"));
        box.setAcceptMode(QFileDialog::AcceptSave);
        break;
    case FileDialog::OpenProject:
        box.setWindowTitle(QStringLiteral("Load IO Module Data"));
        box.setNameFilters(projectFilters);
        box.setDefaultSuffix(QStringLiteral("iom"));
        box.setAcceptMode(QFileDialog::AcceptOpen);
        // The chosen file need not exist: loading a missing file empties the project.
        box.setFileMode(QFileDialog::AnyFile);
        break;
    case FileDialog::SaveProject:
        box.setWindowTitle(QStringLiteral("Save IO Module Data"));
        box.setNameFilters(projectFilters);
        box.setDefaultSuffix(QStringLiteral("iom"));
        box.setAcceptMode(QFileDialog::AcceptSave);
        break;
    }
    // Saving asks before replacing a file: QFileDialog confirms overwrites
    // unless told not to.
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return {};
    return box.selectedFiles().constFirst();
}

QString TIOmodFM::askText(const QString& title, const QString& prompt)
{
    QInputDialog box(this);
    box.setWindowTitle(title);
    box.setLabelText(prompt);
    box.setInputMode(QInputDialog::TextInput);
    box.setOkButtonText(QStringLiteral("OK"));
    box.setCancelButtonText(QStringLiteral("Cancel"));
    if (box.exec() != QDialog::Accepted)
        return {};
    return box.textValue().trimmed();
}

void TIOmodFM::showRelayIndicators(quint16 portOut, bool allIdle)
{
    for (int i = 0; i < 16; ++i) {
        const bool on = (portOut & (1u << i)) != 0;
        QLabel* indicator = m_relayIndicators.at(static_cast<size_t>(i));
        indicator->setPixmap(allIdle ? m_allOffFace : (on ? m_onFace : m_offFace));
        indicator->setAccessibleName(
            QStringLiteral("Relay %1, %2").arg(twoDigits(i + 1), relayState(allIdle, on)));
    }
}

void TIOmodFM::showInputIndicators(int portIn)
{
    for (int i = 0; i < 6; ++i) {
        const bool high = (portIn & (1 << i)) != 0;
        QImage& picture = m_inputPictures.at(static_cast<size_t>(i));
        picture = lamppictures::ShowInput(picture, high);
        QLabel* indicator = m_inputIndicators.at(static_cast<size_t>(i));
        indicator->setPixmap(QPixmap::fromImage(picture));
        indicator->setAccessibleName(
            QStringLiteral("Input %1, %2")
                .arg(i + 1)
                .arg(high ? QStringLiteral("high") : QStringLiteral("low")));
    }
}

void TIOmodFM::setLamp(Lamp lamp, bool lit)
{
    const QString name = switchName(lamp);
    const QString state = QStringLiteral("%1, %2").arg(name, onOff(lit));
    QString button;
    QString glyph = lit ? QStringLiteral("ledton") : QStringLiteral("ledtoff");
    switch (lamp) {
    case Lamp::Activate:
        button = QStringLiteral("ActiveButt");
        break;
    case Lamp::Timers:
        button = QStringLiteral("TimerSB");
        break;
    case Lamp::InputRules:
        button = QStringLiteral("InputRulesSB");
        break;
    case Lamp::LogTimer:
        button = QStringLiteral("InputLogSB");
        break;
    case Lamp::LogNow:
        button = QStringLiteral("InputNowSB");
        break;
    case Lamp::SetAll:
        m_setAllButt->setIcon(
            lamppictures::Glyph(lit ? QStringLiteral("ledgon") : QStringLiteral("ledgoff")));
        return;
    case Lamp::ClearAll:
        m_clearAllButt->setIcon(
            lamppictures::Glyph(lit ? QStringLiteral("ledron") : QStringLiteral("ledroff")));
        return;
    case Lamp::Activity:
        m_ledPicture = lamppictures::ShowActivity(m_ledPicture, lit);
        m_ledImage->setPixmap(QPixmap::fromImage(m_ledPicture));
        m_ledImage->setAccessibleName(state);
        return;
    }
    auto* target = m_client->findChild<QAbstractButton*>(button);
    target->setIcon(lamppictures::Glyph(glyph));
    target->setAccessibleName(state);
}

void TIOmodFM::setSetButton(int index, bool set)
{
    if (index < 0 || index > 15)
        return;
    QToolButton* button = m_setButtons.at(static_cast<size_t>(index));
    button->setIcon(lamppictures::Glyph(set ? QStringLiteral("ledgon") : QStringLiteral("ledron")));
    button->setAccessibleName(
        QStringLiteral("SET relay %1, %2")
            .arg(twoDigits(index + 1), set ? QStringLiteral("set") : QStringLiteral("clear")));
    const QString& label = m_relayLabels.at(static_cast<size_t>(index));
    button->setToolTip(
        QStringLiteral("SET relay %1").arg(label.isEmpty() ? twoDigits(index + 1) : label));
}

void TIOmodFM::showBoardNames(const safety::BoardSettings& settings)
{
    for (int i = 0; i < 16; ++i) {
        const auto r = static_cast<size_t>(i);
        const bool named = !settings.relayNames.at(r).isEmpty();
        m_relayLabels.at(r) = named ? settings.relayLabel(i) : QString();
        m_relayIndicators.at(r)->setToolTip(
            named ? QStringLiteral("Relay %1").arg(settings.relayLabel(i)) : kHint);
        m_setButtons.at(r)->setToolTip(
            QStringLiteral("SET relay %1").arg(named ? m_relayLabels.at(r) : twoDigits(i + 1)));
    }
    for (int i = 0; i < 6; ++i) {
        const bool named = !settings.inputNames.at(static_cast<size_t>(i)).isEmpty();
        m_inputIndicators.at(static_cast<size_t>(i))
            ->setToolTip(named ? QStringLiteral("Input %1").arg(settings.inputLabel(i)) : kHint);
    }
}

void TIOmodFM::setCountLabel(const QString& text)
{
    if (auto* label = m_client->findChild<QLabel*>(QStringLiteral("CountLabel")))
        label->setText(text);
}

bool TIOmodFM::showPortDialog(QString& portText)
{
    return m_windows.port.execute(portText);
}

bool TIOmodFM::showTimerEditor()
{
    return m_windows.chan.exec() == QDialog::Accepted;
}

bool TIOmodFM::showRulesEditor()
{
    return m_windows.rules.exec() == QDialog::Accepted;
}

bool TIOmodFM::showLoggerWindow()
{
    return m_windows.logger.exec() == QDialog::Accepted;
}

void TIOmodFM::showHelp()
{
    m_windows.help.exec();
}

bool TIOmodFM::editorWindowVisible() const
{
    return m_windows.chan.isVisible() || m_windows.logger.isVisible();
}

void TIOmodFM::requestClose()
{
    close();
}
