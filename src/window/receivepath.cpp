#include "window/form1.h"
#include "wire/trace.h"

#include <algorithm>

void Form1::MSComm1_OnComm()
{
    if (m_p.MSComm1.CommEvent() != SerialPort::ReceiveEvent)
        return;
    const std::string arrived = m_p.MSComm1.Input();
    // Only the start of the buffer is ever traced or decoded, so a stream that nothing empties is held
    // up to that much and no further: memory stays bounded and every arrival costs the same.
    const std::size_t room =
        TraceCharacterLimit - std::min(m_fields.ReceiveBuffer.size(), TraceCharacterLimit);
    m_fields.ReceiveBuffer.append(arrived, 0, std::min(room, arrived.size()));
    m_fields.AwaitingReply = 0;
    Hyouji(m_fields.ReceiveBuffer, ReceiveMode);
}

// The line works, but not as the operator set it: told as a warning, and the console goes on.
void Form1::MSComm1_Notice(const std::string &text)
{
    m_p.messages.warning(text);
}

void Form1::MSComm1_Lost(const SerialError &error)
{
    // Only the window can open the port again, so the advice is the window's, not the link's.
    static constexpr std::string_view ChooseAgain = "; choose the port again";
    // A held button's repeat would meet the closed port at its next tick: the loss is the one message.
    stopRepeat();
    m_p.messages.error(error.number(), error.description().append(ChooseAgain));
}
