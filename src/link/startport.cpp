#include "link/startport.h"

void openStartPort(SerialPort &port, const std::string &settings)
{
    port.setCommPort(1);
    port.setSettings(settings);
    port.setPortOpen(true);
}

std::string portFailureText(const SerialError &error)
{
    return error.description() + " " + errorNumberText(error.number());
}
