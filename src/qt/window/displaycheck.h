#pragma once

#include <QProcessEnvironment>

// Whether the window system Qt would choose from this environment has a display to connect to. Qt
// aborts when it has none, so the console asks first. A platform that needs no display (offscreen,
// minimal, a frame buffer) always has one.
bool displayAvailable(const QProcessEnvironment &environment);
