#pragma once

#include "window/controltable.h"

#include <string_view>

#include <QFont>
#include <QString>
#include <QWidget>

// A text of the design (UTF-8) as Qt holds it.
inline QString toQString(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Makes the widget of one designed control: its kind, objectName, place, colours and font.
QWidget *makeControl(const ControlSpec &spec, QWidget *parent);
// A straight outline segment as a thin widget of its own.
QWidget *makeLine(const LineSpec &spec, QWidget *parent);
// The face the design names, or the first installed substitute that shows Japanese; one family per face.
QFont consoleFont(const FontSpec &spec);
QRect toPixels(const TwipsRect &rect);
