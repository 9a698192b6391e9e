// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/helpwindow.h"

#include "help/helptext.h"
#include "windowkit/pixelform.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

using pixelform::place;

THelpFm::THelpFm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("HelpFm"));
    setWindowTitle(QStringLiteral("QMX T95 Help"));
    pixelform::setupFixedWindow(this, QSize(465, 273));

    auto* memo = place<QPlainTextEdit>(this, QStringLiteral("Memo1"), QRect(0, 0, 465, 233));
    memo->setReadOnly(true);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A fixed-pitch font, so that the underlines are as long as their headings.
    memo->setFont(pixelform::fixedPitchFont());
    memo->setPlainText(HelpText().join(QLatin1Char('\n')));
    memo->setAccessibleName(QStringLiteral("Help text"));

    auto* ok = place<QPushButton>(this, QStringLiteral("BitBtn1"), QRect(195, 240, 75, 25),
                                  QStringLiteral("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void THelpFm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    pixelform::centreOnScreen(this);
    // Each showing starts at the top of the text.
    if (auto* memo = findChild<QPlainTextEdit*>(QStringLiteral("Memo1")))
        memo->verticalScrollBar()->setValue(0);
}
