#include "console/form1.h"
#include "link/linesettings.h"

#include <optional>

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
        m_p.messages.warning(failure->description());
        m_p.MSComm1.setCommPort(fallbackPort);
        return;
    }
    m_p.controls.setVisible("Frame8", false);
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
