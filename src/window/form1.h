#pragma once

#include "link/serialport.h"
#include "link/timer.h"
#include "window/controls.h"
#include "window/formfields.h"
#include "window/messagebox.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct OneShotButton;
struct HoldButton;
struct ReplyPeriods;

// What the console drives: its port, its four timers, its controls and its message box.
struct Platform
{
    SerialPort &MSComm1;
    Timer &Timer1; // repeat tick of a held button
    Timer &Timer2; // reply time-out
    Timer &Timer3; // hides the port settings frame
    Timer &Timer4; // clears the trace and status labels
    Controls &controls;
    MessageBox &messages;
};

// The console window's behaviour: its form-level fields and its event handlers, one event at a time.
// The handlers are defined beside the subsystem they belong to (console, serial, commands, replies).
class Form1
{
public:
    static constexpr std::uint8_t SendMode = 1;
    static constexpr std::uint8_t ReceiveMode = 2;

    explicit Form1(const Platform &platform);
    Form1(const Form1 &) = delete;
    Form1 &operator=(const Form1 &) = delete;

    // Told how an open came out: no failure, or the one that stopped it.
    using Opened = std::function<void(const SerialError *failure)>;

    // Start-up traps nothing: a failure (COM1 absent or busy) throws SerialError and the window is never
    // shown. Start-up is over when COM1 is open, which for a server is after Form_Load has returned:
    // `started` is told then, with the failure of a server that did not answer, if one did not.
    void Form_Load();
    void setOnStarted(Opened started) { m_onStarted = std::move(started); }

    // Events from the window, by control name. A failure a handler lets escape is shown, and the console
    // keeps running.
    void click(std::string_view control);
    void mouseDown(std::string_view control);
    void mouseUp(std::string_view control);
    void doubleClick(std::string_view control);
    // shift: Shift = 1, Ctrl = 2, Alt = 4.
    void keyDown(int keyCode, int shift);

    static bool isHoldButton(std::string_view control);
    const FormFields &fields() const { return m_fields; }

private:
    struct NamedClick;
    static const NamedClick s_namedClicks[];

    template <class Handler> void dispatch(Handler &&handler);

    // console
    void Command16_Click();
    void Form_KeyDown(int keyCode, int shift);
    void Image1_DblClick();
    void Command34_Click();
    // serial
    void Command33_Click();
    void Option1_Click();
    void Option2_Click();
    void Option9_Click();
    void Option10_Click();
    void portSwitch(int port, int fallbackPort);
    void portSwitchFailed(const SerialError &failure, int fallbackPort);
    // Goes on with `then` once the port just opened is open: at once, or when its server has answered.
    void whenOpen(Opened then);
    void MSComm1_Opened();
    void MSComm1_OpenFailed(const SerialError &error);
    void speedSwitch(const std::string &settings);
    void Timer3_Timer();
    void MSComm1_OnComm();
    void MSComm1_Lost(const SerialError &error);
    void MSComm1_Notice(const std::string &text);
    // commands
    void Hyouji(const std::string &text, std::uint8_t mode);
    void sendCode(std::string_view code);
    void OneShot_Click(const OneShotButton &button);
    void Hold_MouseDown(const HoldButton &button);
    void Hold_MouseUp(const HoldButton &button);
    void stopRepeat();
    void Timer1_Timer();
    void Command95_Click();
    void Command96_Click();
    // replies
    void Timer2_Timer();
    void Timer4_Timer();
    void setReplyPeriods(const ReplyPeriods &periods);
    void decodeStatusReply();

    Platform m_p;
    FormFields m_fields;
    Opened m_onStarted;
    // What goes on once the open that waits for a server comes out; empty when none waits.
    Opened m_opening;
};
