#include "qt/window/picture.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace {
// A lens and a beam of light, drawn here rather than loaded, so the console ships no picture file.
QPixmap emblem()
{
    QPixmap pixmap(Picture::PixelWidth, Picture::PixelHeight);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, Picture::PixelHeight);
    sky.setColorAt(0, QColor(0x20, 0x30, 0x80));
    sky.setColorAt(1, QColor(0x40, 0x60, 0xC0));
    painter.fillRect(pixmap.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xFF, 0xF0, 0xA0, 0xA0));
    const QPointF beam[] = {{14, 13}, {78, 2}, {78, 24}};
    painter.drawPolygon(beam, 3);
    painter.setBrush(QColor(0xE0, 0xE0, 0xE0));
    painter.drawEllipse(QPointF(13, 13), 9, 9);
    painter.setBrush(QColor(0x30, 0x30, 0x30));
    painter.drawEllipse(QPointF(13, 13), 5, 5);
    return pixmap;
}
} // namespace

Picture::Picture(QWidget *parent) : QLabel(parent)
{
    setPixmap(emblem());
    setScaledContents(true);
}

void Picture::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    if (onDoubleClick)
        onDoubleClick();
}
