#include "window/centring.h"

TwipsPoint centreWindow(TwipsSize screen, TwipsSize window)
{
    return {(screen.width - window.width) / 2, (screen.height - window.height) / 2};
}
