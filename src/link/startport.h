#pragma once

#include "link/serialport.h"

#include <string>

// COM1 opened as the console opens it at start, with the given line settings; throws SerialError when
// it cannot.
void openStartPort(SerialPort &port, const std::string &settings);

// A port's failure in the words of the window's message box, on one line.
std::string portFailureText(const SerialError &error);
