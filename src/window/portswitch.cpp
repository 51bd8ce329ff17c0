#include "link/linesettings.h"
#include "window/form1.h"

#include <optional>
#include <utility>

void Form1::Command33_Click()
{
    m_p.controls.setVisible("Frame8", true);
    m_p.Timer3.setEnabled(true);
}

void Form1::Option1_Click()
{
    portSwitch(1, 2);
}

void Form1::Option2_Click()
{
    portSwitch(2, 1);
}

void Form1::Option9_Click()
{
    speedSwitch(Settings19200);
}

void Form1::Option10_Click()
{
    speedSwitch(Settings9600);
}

// Moves the connection to the chosen port. The port is closed only after a failed choice or a lost line,
// so a choice always opens the chosen port: success hides the panel, a failure says why again.
void Form1::portSwitch(int port, int fallbackPort)
{
    // A switch still waiting for its server is given up for this one.
    m_opening = {};
    std::optional<SerialError> failure;
    auto attempt = [&](auto step) {
        try {
            step();
        } catch (const SerialError &error) {
            failure = error;
        }
    };
    attempt([&] {
        if (m_p.MSComm1.PortOpen())
            m_p.MSComm1.setPortOpen(false);
    });
    attempt([&] { m_p.MSComm1.setCommPort(port); });
    if (!failure)
        attempt([&] { m_p.MSComm1.setPortOpen(true); });
    if (failure) {
        portSwitchFailed(*failure, fallbackPort);
        return;
    }
    whenOpen([this, fallbackPort](const SerialError *failure) {
        if (failure)
            portSwitchFailed(*failure, fallbackPort);
        else
            m_p.controls.setVisible("Frame8", false);
    });
}

void Form1::portSwitchFailed(const SerialError &failure, int fallbackPort)
{
    m_p.messages.warning(failure.description());
    m_p.MSComm1.setCommPort(fallbackPort);
}

void Form1::whenOpen(Opened then)
{
    if (m_p.MSComm1.connecting())
        m_opening = std::move(then);
    else
        then(nullptr);
}

void Form1::MSComm1_Opened()
{
    if (Opened then = std::exchange(m_opening, {}))
        then(nullptr);
}

void Form1::MSComm1_OpenFailed(const SerialError &error)
{
    if (Opened then = std::exchange(m_opening, {}))
        then(&error);
}

void Form1::speedSwitch(const std::string &settings)
{
    m_fields.PortSettings = settings;
    m_p.MSComm1.setSettings(m_fields.PortSettings);
    m_p.controls.setVisible("Frame8", false);
}

void Form1::Timer3_Timer()
{
    m_p.controls.setVisible("Frame8", false);
    m_p.Timer3.setEnabled(false);
}
