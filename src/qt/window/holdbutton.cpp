#include "qt/window/holdbutton.h"

#include <QMouseEvent>

void HoldButton::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (m_held)
        return;
    m_held = true;
    setDown(true);
    if (onPress)
        onPress();
}

void HoldButton::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    // With two mouse buttons down, the hold lasts until the last one is let go.
    if (event->buttons() == Qt::NoButton)
        endHold();
}

void HoldButton::endHold()
{
    if (!m_held)
        return;
    m_held = false;
    setDown(false);
    if (onRelease)
        onRelease();
}

void HoldButton::mouseMoveEvent(QMouseEvent *event)
{
    // The hold does not end when the pointer leaves the button; only the release ends it.
    event->accept();
}

void HoldButton::keyPressEvent(QKeyEvent *event)
{
    QWidget::keyPressEvent(event);
}

void HoldButton::keyReleaseEvent(QKeyEvent *event)
{
    QWidget::keyReleaseEvent(event);
}
