#include "board/portwindow.h"

#include "common/keyfilter.h"
#include "common/view.h"
#include "windowkit/filterededit.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TPortFm::TPortFm(View& view, QWidget* parent) : QDialog(parent), m_view(view)
{
    setObjectName(QStringLiteral("PortFm"));
    setWindowTitle(QStringLiteral("V217 Serial Port Change"));
    setFixedSize(208, 80);
    setSizeGripEnabled(false);
    setAutoFillBackground(true);
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    setPalette(silver);

    Label1 = new QLabel(QStringLiteral("Enter Port Value"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(15, 9);
    Label1->adjustSize();

    PortEdit = new FilteredEdit([this](const QString&, QChar key) { return PortEditKeyPress(key); },
                                [this](const QString&, QStringView typed, qsizetype room) {
                                    return portEditText(typed, room);
                                },
                                this);
    PortEdit->setObjectName(QStringLiteral("PortEdit"));
    PortEdit->setGeometry(127, 5, 33, 21);
    PortEdit->setMaxLength(1);
    QPalette black = PortEdit->palette();
    black.setColor(QPalette::Text, Qt::black);
    PortEdit->setPalette(black);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 31, 193, 42);

    OKbutt = new QPushButton(QStringLiteral("OK"), this);
    OKbutt->setObjectName(QStringLiteral("OKbutt"));
    OKbutt->setGeometry(19, 39, 75, 25);
    OKbutt->setDefault(true);
    connect(OKbutt, &QPushButton::clicked, this, &TPortFm::OKbuttClick);

    // QDialog closes with Rejected on Esc.
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(115, 39, 75, 25);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

bool TPortFm::execute(QString& portText)
{
    PortEdit->showText(portText);
    if (exec() != QDialog::Accepted)
        return false;
    portText = PortEdit->text();
    return true;
}

bool TPortFm::PortEditAccepts(QChar typed)
{
    const QChar c = typed.toUpper();
    return c == QChar(8) || c == QChar(13) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

void TPortFm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Centred on the screen each time, focus in the edit box.
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    FormActivate();
}

void TPortFm::FormActivate()
{
    PortEdit->setFocus(Qt::ActiveWindowFocusReason);
}

bool TPortFm::PortEditKeyPress(QChar typed)
{
    if (PortEditAccepts(typed))
        return true;
    m_view.beep();
    return false;
}

QString TPortFm::portEditText(QStringView typed, qsizetype room)
{
    const keyfilter::Accepted accepted = keyfilter::accept(typed, room, PortEditAccepts);
    if (accepted.refused)
        m_view.beep();
    return accepted.text;
}

void TPortFm::OKbuttClick()
{
    if (PortEdit->text().isEmpty()) {
        m_view.showError(QStringLiteral("Invalid port value"));
        return; // the dialog stays open
    }
    accept();
}
