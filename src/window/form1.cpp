#include "window/form1.h"

#include "wire/holdtable.h"
#include "wire/oneshottable.h"

// A control whose click has a handler of its own rather than a row of the one-shot table.
struct Form1::NamedClick
{
    std::string_view control;
    void (Form1::*handler)();
};

const Form1::NamedClick Form1::s_namedClicks[] = {
    {"Command16", &Form1::Command16_Click}, {"Command33", &Form1::Command33_Click},
    {"Command34", &Form1::Command34_Click}, {"Command95", &Form1::Command95_Click},
    {"Command96", &Form1::Command96_Click}, {"Option1", &Form1::Option1_Click},
    {"Option2", &Form1::Option2_Click},     {"Option9", &Form1::Option9_Click},
    {"Option10", &Form1::Option10_Click},
};

Form1::Form1(const Platform &platform) : m_p(platform)
{
    m_p.Timer1.setOnTick([this] { dispatch([this] { Timer1_Timer(); }); });
    m_p.Timer2.setOnTick([this] { dispatch([this] { Timer2_Timer(); }); });
    m_p.Timer3.setOnTick([this] { dispatch([this] { Timer3_Timer(); }); });
    m_p.Timer4.setOnTick([this] { dispatch([this] { Timer4_Timer(); }); });
    m_p.MSComm1.setOnComm([this] { dispatch([this] { MSComm1_OnComm(); }); });
    m_p.MSComm1.setOnOpened([this] { dispatch([this] { MSComm1_Opened(); }); });
    m_p.MSComm1.setOnOpenFailed(
        [this](const SerialError &error) { dispatch([this, &error] { MSComm1_OpenFailed(error); }); });
    m_p.MSComm1.setOnLost([this](const SerialError &error) { MSComm1_Lost(error); });
    m_p.MSComm1.setOnNotice([this](const std::string &text) { MSComm1_Notice(text); });
}

// The one place where the error rule applies: the failing handler has stopped at the failing step,
// the operator reads why, and the console goes on.
template <class Handler> void Form1::dispatch(Handler &&handler)
{
    try {
        handler();
    } catch (const SerialError &error) {
        m_p.messages.error(error.number(), error.description());
    }
}

void Form1::click(std::string_view control)
{
    dispatch([&] {
        if (const OneShotButton *button = findOneShotButton(control)) {
            OneShot_Click(*button);
            return;
        }
        for (const NamedClick &named : s_namedClicks) {
            if (named.control == control) {
                (this->*named.handler)();
                return;
            }
        }
    });
}

void Form1::mouseDown(std::string_view control)
{
    if (const HoldButton *button = findHoldButton(control))
        dispatch([&] { Hold_MouseDown(*button); });
}

void Form1::mouseUp(std::string_view control)
{
    if (const HoldButton *button = findHoldButton(control))
        dispatch([&] { Hold_MouseUp(*button); });
}

void Form1::doubleClick(std::string_view control)
{
    if (control == "Image1")
        dispatch([this] { Image1_DblClick(); });
}

void Form1::keyDown(int keyCode, int shift)
{
    dispatch([&] { Form_KeyDown(keyCode, shift); });
}

bool Form1::isHoldButton(std::string_view control)
{
    return findHoldButton(control) != nullptr;
}
