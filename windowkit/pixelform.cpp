// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowkit/pixelform.h"

#include <QFrame>
#include <QLabel>
#include <QScreen>

namespace pixelform {

QFont formFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QFont fixedPitchFont()
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(11);
    return font;
}

void setupFixedWindow(QWidget* window, QSize client, WindowFont font)
{
    if (font == WindowFont::Form)
        window->setFont(formFont());
    window->setFixedSize(client);
}

void centreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

QLabel* placeLabel(QWidget* parent, const QString& name, QPoint topLeft, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setContentsMargins(0, 0, 0, 0);
    label->move(topLeft);
    label->adjustSize();
    return label;
}

QFrame* placeBevel(QWidget* parent, const QString& name, const QRect& geometry)
{
    auto* bevel = place<QFrame>(parent, name, geometry);
    bevel->setFrameShape(QFrame::Box);
    bevel->setFrameShadow(QFrame::Sunken);
    return bevel;
}

} // namespace pixelform
