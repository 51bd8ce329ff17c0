#include "window/form1.h"
#include "wire/framing.h"
#include "wire/trace.h"

// Sends and traces a command (send mode), or traces and decodes what has been received (any other mode).
void Form1::Hyouji(const std::string &text, std::uint8_t mode)
{
    if (mode == SendMode)
        m_p.MSComm1.Output(text);
    const std::string trace = renderTrace(text);
    if (mode == SendMode) {
        m_p.controls.setCaption("Label11", trace);
        m_p.Timer2.setEnabled(true);
        m_fields.AwaitingReply = 1;
        m_p.Timer4.setEnabled(true);
        return;
    }
    m_p.controls.setCaption("Label12", trace);
    decodeStatusReply();
}

// Every sender frames its code into LastCommand and hands that to Hyouji.
void Form1::sendCode(std::string_view code)
{
    m_fields.LastCommand = frameCommand(m_fields.CommandPrefix, code);
    Hyouji(m_fields.LastCommand, SendMode);
}
