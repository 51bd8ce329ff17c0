#pragma once

#include "console/controltable.h"

#include <QFont>
#include <QWidget>

// Makes the widget of one designed control: its kind, objectName, place, colours and font.
QWidget *makeControl(const ControlSpec &spec, QWidget *parent);
// A straight outline segment as a thin widget of its own.
QWidget *makeLine(const LineSpec &spec, QWidget *parent);
// The face the design names, or the nearest font here that shows Japanese.
QFont consoleFont(const FontSpec &spec);
QRect toPixels(const TwipsRect &rect);
