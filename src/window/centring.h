#pragma once

#include "window/controls.h"

struct TwipsPoint
{
    double left = 0;
    double top = 0;
};

// The window's top-left corner that centres it on the screen: halved in floating point, unclamped.
TwipsPoint centreWindow(TwipsSize screen, TwipsSize window);
