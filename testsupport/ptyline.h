#pragma once

#include "pty.h"
#include "qt/port/qtserialport.h"

// The real serial port with COM1 on a pseudo-terminal whose far end the caller holds; COM2 is no device.
struct PtyLine
{
    Pty pty;
    QtSerialPort serial{parseEndpoint(pty.slavePath()), parseEndpoint("/dev/tavo-no-com2")};
};
