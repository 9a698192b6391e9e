#include "windowkit/pixelform.h"

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

void setupFixedWindow(QWidget* window, QSize client)
{
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

} // namespace pixelform
