// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/portwindow.h"

#include "common/keyfilter.h"
#include "common/view.h"
#include "windowkit/filterededit.h"
#include "windowkit/pixelform.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

using pixelform::place;
using pixelform::placeLabel;

TPortFm::TPortFm(View& view, QWidget* parent) : QDialog(parent), m_view(view)
{
    setObjectName(QStringLiteral("PortFm"));
    setWindowTitle(QStringLiteral("V217 Serial Port Change"));
    pixelform::setupFixedWindow(this, QSize(208, 80), pixelform::WindowFont::Desktop);
    setSizeGripEnabled(false);
    setAutoFillBackground(true);
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    setPalette(silver);

    Label1 =
        placeLabel(this, QStringLiteral("Label1"), {15, 9}, QStringLiteral("Enter Port Value"));

    PortEdit = place<FilteredEdit>(
        this, QStringLiteral("PortEdit"), QRect(127, 5, 33, 21),
        [this](const QString&, QChar key) { return PortEditKeyPress(key); },
        [this](const QString&, QStringView typed, qsizetype room) {
            return portEditText(typed, room);
        });
    PortEdit->setMaxLength(1);
    QPalette black = PortEdit->palette();
    black.setColor(QPalette::Text, Qt::black);
    PortEdit->setPalette(black);

    Bevel1 = pixelform::placeBevel(this, QStringLiteral("Bevel1"), QRect(8, 31, 193, 42));

    OKbutt = place<QPushButton>(this, QStringLiteral("OKbutt"), QRect(19, 39, 75, 25),
                                QStringLiteral("OK"));
    OKbutt->setDefault(true);
    connect(OKbutt, &QPushButton::clicked, this, &TPortFm::OKbuttClick);

    // QDialog closes with Rejected on Esc.
    BitBtn2 = place<QPushButton>(this, QStringLiteral("BitBtn2"), QRect(115, 39, 75, 25),
                                 QStringLiteral("Cancel"));
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
    pixelform::centreOnScreen(this);
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
