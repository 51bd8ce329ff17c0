#include "link/linesettings.h"
#include "link/startport.h"
#include "window/centring.h"
#include "window/form1.h"
#include "window/messagebox.h"
#include "window/windowheights.h"

void Form1::Form_Load()
{
    m_fields.PortSettings = Settings19200;
    m_fields.CommandPrefix.clear();
    // Centred from the full design size, so the compact window sits where the full one's top edge would be.
    const TwipsPoint corner = centreWindow(m_p.controls.screenSize(), m_p.controls.windowSize());
    m_p.controls.moveWindow(corner.left, corner.top);
    m_p.controls.setWindowHeight(CompactHeightTwips);
    m_fields.RepeatCode = 0;
    m_fields.AwaitingReply = 0;
    m_fields.ReceiveBuffer.clear();
    openStartPort(m_p.MSComm1, m_fields.PortSettings);
    // Selecting an option raises no click of its own here. The COM1 choice keeps the connection just
    // opened: closing and opening it again at once would show a server a client that leaves and comes
    // back, and a server that serves one client at a time may refuse the second.
    m_p.controls.select("Option1");
    m_p.controls.setVisible("Frame8", false);
    whenOpen([this](const SerialError *failure) {
        if (m_onStarted)
            m_onStarted(failure);
    });
}

void Form1::Command16_Click()
{
    m_p.MSComm1.setPortOpen(false);
    m_p.controls.unload();
}
