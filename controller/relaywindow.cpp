#include "controller/relaywindow.h"

#include "board/portwindow.h"
#include "controller/application.h"
#include "controller/lamppictures.h"
#include "controller/linkawarefiledialog.h"
#include "help/helpwindow.h"
#include "logger/loggerwindow.h"
#include "rules/ruleswindow.h"
#include "timers/chanwindow.h"
#include "windowkit/pixelform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

#include <vector>

using pixelform::place;
using pixelform::placeLabel;

namespace {

QString displayText(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

// --- the layout table ---

enum class Kind
{
    Panel,          // raised panel holding other controls
    Label,          // text; sized to its text when no width is given
    RelayIndicator, // 38 x 14 relay face
    InputIndicator, // 38 x 14 two-lamp input picture
    Template,       // hidden relay face the indicators copy
    ActivityLamp,   // the logger's 7 x 7 lamp
    SetButton,      // SET button of one relay
    LampSwitch,     // 23 x 22 button showing only a lamp
    Button,         // push button with a picture and a caption
};

struct Control
{
    Kind kind;
    QString name;
    QString parent; // empty: the client area
    QRect geometry; // no size: a label as wide and high as its text
    QString text;   // caption
    QString image;  // picture or lamp glyph
    int tag = -1;
};

constexpr std::array<int, 8> kRelayTops{28, 52, 76, 99, 124, 148, 172, 196};
constexpr std::array<int, 8> kSetButtonTops{24, 48, 72, 96, 120, 144, 168, 192};
constexpr std::array<int, 3> kInputTops{262, 282, 302};
constexpr QSize kIndicator{38, 14};
constexpr QSize kLampSwitch{23, 22};
const QString kHint = QStringLiteral("Read digital IO 0");

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

// Names of the relay and input labels and indicators, relay/input 1 first.
const std::array<const char*, 16> kRelayLabelNames{
    "Label11", "Label12", "Label13", "Label14", "Label15", "Label16", "Label17", "Label18",
    "Label5",  "Label6",  "Label7",  "Label9",  "Label25", "Label26", "Label27", "Label28"};
const std::array<const char*, 6> kInputLabelNames{"Label21", "Label22", "Label23",
                                                  "Label24", "Label29", "Label30"};
const std::array<const char*, 6> kInputNames{"In1image", "In2Image", "In3Image",
                                             "In4Image", "In5Image", "In6Image"};

QString relayIndicatorName(int relay)
{
    return relay <= 8 ? QStringLiteral("Out%1image").arg(relay)
                      : QStringLiteral("OutImage%1").arg(relay);
}

// SpeedButton1, 3, ... 15 for relays 1 to 8; SpeedButton2, 4, ... 16 for 9 to 16.
QString setButtonName(int relay)
{
    return QStringLiteral("SpeedButton%1").arg(relay <= 8 ? 2 * relay - 1 : 2 * (relay - 8));
}

// Shorthands that keep the table below one line per control.
Control panel(const char* name, QRect geometry)
{
    return {Kind::Panel, QString::fromLatin1(name), {}, geometry, {}, {}};
}

Control label(const char* name, const char* parent, QPoint at, const QString& text)
{
    return {
        Kind::Label, QString::fromLatin1(name), QString::fromLatin1(parent), {at, QSize()}, text,
        {}};
}

Control button(const char* name, const char* parent, QRect geometry, const QString& text,
               const char* image)
{
    return {Kind::Button, QString::fromLatin1(name), QString::fromLatin1(parent), geometry,
            text,         QString::fromLatin1(image)};
}

Control lampSwitch(const char* name, const char* parent, QPoint at)
{
    return {Kind::LampSwitch,
            QString::fromLatin1(name),
            QString::fromLatin1(parent),
            {at, kLampSwitch},
            {},
            QStringLiteral("ledtoff")};
}

Control picture(Kind kind, const QString& name, const char* parent, QRect geometry,
                const char* image, int tag)
{
    return {kind, name, QString::fromLatin1(parent), geometry, {}, QString::fromLatin1(image), tag};
}

std::vector<Control> mainWindowControls()
{
    // Relay and input indicators with the SET buttons.
    std::vector<Control> table{
        panel("Panel10", {3, 1, 182, 330}),
        label("Label20", "Panel10", {73, 7}, QStringLiteral("RELAY")),
        label("Label19", "Panel10", {74, 237}, QStringLiteral("INPUT")),
    };
    for (int relay = 1; relay <= 16; ++relay) {
        const int top = kRelayTops.at(static_cast<size_t>((relay - 1) % 8));
        const int setTop = kSetButtonTops.at(static_cast<size_t>((relay - 1) % 8));
        const bool right = relay > 8;
        table.push_back(label(kRelayLabelNames.at(static_cast<size_t>(relay - 1)), "Panel10",
                              {right ? 91 : 6, top}, twoDigits(relay)));
        table.push_back(picture(Kind::RelayIndicator, relayIndicatorName(relay), "Panel10",
                                {QPoint(right ? 108 : 20, top), kIndicator}, "", relay - 1));
        table.push_back({Kind::SetButton,
                         setButtonName(relay),
                         QStringLiteral("Panel10"),
                         {QPoint(right ? 148 : 60, setTop), kLampSwitch},
                         {},
                         QStringLiteral("ledron"),
                         relay - 1});
    }
    for (int input = 1; input <= 6; ++input) {
        const int top = kInputTops.at(static_cast<size_t>((input - 1) % 3));
        const bool right = input > 3;
        table.push_back(label(kInputLabelNames.at(static_cast<size_t>(input - 1)), "Panel10",
                              {right ? 94 : 6, top}, QString::number(input)));
        table.push_back(picture(Kind::InputIndicator,
                                QString::fromLatin1(kInputNames.at(static_cast<size_t>(input - 1))),
                                "Panel10", {QPoint(right ? 108 : 20, top), kIndicator},
                                "inputimage", 20 + input - 1));
    }

    const std::initializer_list<Control> rest{
        // Manual relay control.
        panel("Panel5", {185, 1, 117, 223}),
        label("Label8", "Panel5", {23, 6}, QStringLiteral("OUTPUT SET")),
        button("WriteButt", "Panel5", {20, 39, 76, 25}, QStringLiteral("Write"), "write"),
        button("ClearAllButt", "Panel5", {20, 103, 76, 25}, QStringLiteral("Clear All"), "ledroff"),
        button("SetAllButt", "Panel5", {20, 167, 76, 25}, QStringLiteral("Set All   "), "ledgoff"),
        // Activation.
        panel("Panel9", {302, 1, 92, 43}),
        button("ActiveButt", "Panel9", {8, 10, 75, 25}, QStringLiteral("Activate"), "ledtoff"),
        // Input rules.
        panel("Panel4", {302, 44, 92, 90}),
        label("Label4", "Panel4", {8, 6}, QStringLiteral("INPUT RULES")),
        lampSwitch("InputRulesSB", "Panel4", {34, 25}),
        button("RulesEditButt", "Panel4", {8, 55, 75, 25}, QStringLiteral("Edit"), "edit"),
        // Relay timers.
        panel("Panel1", {302, 134, 92, 90}),
        label("Label2", "Panel1", {25, 8}, QStringLiteral("TIMERS")),
        lampSwitch("TimerSB", "Panel1", {34, 25}),
        button("OutEditButt", "Panel1", {8, 54, 75, 25}, QStringLiteral("Edit"), "edit"),
        // Input logger.
        panel("Panel3", {185, 224, 209, 107}),
        label("Label1", "Panel3", {10, 6}, QStringLiteral("INPUT LOGGER")),
        picture(Kind::ActivityLamp, QStringLiteral("LedImage"), "Panel3", {103, 9, 7, 7},
                "ledimage", 100),
        lampSwitch("InputLogSB", "Panel3", {10, 25}),
        label("Label3", "Panel3", {48, 30}, QStringLiteral("Log Timer")),
        lampSwitch("InputNowSB", "Panel3", {10, 49}),
        label("Label10", "Panel3", {48, 55}, QStringLiteral("Log Now")),
        {Kind::Label,
         QStringLiteral("CountLabel"),
         QStringLiteral("Panel3"),
         {10, 87, 91, 13},
         QStringLiteral("Count:        0"),
         {}},
        button("LogEditButt", "Panel3", {116, 25, 75, 25}, QStringLiteral("Edit"), "edit"),
        button("LogSaveButt", "Panel3", {116, 65, 75, 25}, QStringLiteral("Save"), "save"),
        // The faces the relay indicators copy, outside the client area.
        picture(Kind::Template, QStringLiteral("AllOffImage"), "", {QPoint(448, 56), kIndicator},
                "alloffimage", 100),
        picture(Kind::Template, QStringLiteral("OffImage"), "", {QPoint(448, 72), kIndicator},
                "offimage", 100),
        picture(Kind::Template, QStringLiteral("OnImage"), "", {QPoint(448, 88), kIndicator},
                "onimage", 100),
    };
    table.insert(table.end(), rest.begin(), rest.end());
    return table;
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

TIOmodFM::TIOmodFM(SerialLink& serial, const Clock& clock, const Regional& regional,
                   QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      m_core(*this, serial, clock, regional), m_timer1(this)
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
    m_timer1.setTimerType(Qt::PreciseTimer);
    m_timer1.setInterval(Controller::kTickPeriod);
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
    for (const Control& c : mainWindowControls()) {
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
    QMenu* port = menuBar()->addMenu(QStringLiteral("&Port"));
    port->setObjectName(QStringLiteral("Port1"));
    add(port, QStringLiteral("&Set"), QStringLiteral("Set1"), &Controller::Set1Click);
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    add(help, QStringLiteral("&Contents"), QStringLiteral("Contents1"),
        &Controller::Contents1Click);
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
    button->setToolTip(QStringLiteral("SET relay %1").arg(twoDigits(index + 1)));
}

void TIOmodFM::setCountLabel(const QString& text)
{
    if (auto* label = m_client->findChild<QLabel*>(QStringLiteral("CountLabel")))
        label->setText(text);
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
