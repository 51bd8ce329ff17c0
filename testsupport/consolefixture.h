#pragma once

#include "fakecontrols.h"
#include "fakemessagebox.h"
#include "fakeserialport.h"
#include "virtualclock.h"
#include "window/form1.h"

#include <chrono>

// The console's core on fakes and virtual time, as the handlers see the world.
struct ConsoleFixture
{
    ConsoleFixture();

    // Start-up, then forgets what start-up wrote so a test sees only its own traffic.
    void load();
    void advance(int ms) { clock.advance(std::chrono::milliseconds(ms)); }
    std::string caption(std::string_view control) const { return controls.caption(control); }
    // Presses a hold button, keeps it down for ms, and releases it.
    void hold(std::string_view control, int ms);

    VirtualClock clock;
    VirtualTimer &Timer1;
    VirtualTimer &Timer2;
    VirtualTimer &Timer3;
    VirtualTimer &Timer4;
    FakeSerialPort port;
    FakeControls controls;
    FakeMessageBox messages;
    Form1 form;
};
