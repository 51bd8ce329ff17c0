#pragma once

// What only a POSIX system can tell of a serial device. A Windows build replaces posixdevice.cpp alone.

// True when a write to the open device would not have to wait, or the device is gone, so that the
// write finds it out at once.
bool lineTakesDataNow(int handle);
