#include "window/form1.h"
#include "wire/noreply.h"
#include "wire/replyperiods.h"
#include "wire/statusdecoding.h"

void Form1::Timer2_Timer()
{
    if (m_fields.AwaitingReply == 1) {
        m_p.controls.setCaption("Label12", std::string(NoReplyTrace));
        m_p.MSComm1.noReply(m_fields.LastCommand, m_p.Timer2.interval());
    }
    m_p.Timer2.setEnabled(false);
    m_fields.ReceiveBuffer.clear();
    m_fields.AwaitingReply = 0;
}

void Form1::Timer4_Timer()
{
    m_p.controls.setCaption("Label11", "");
    m_p.controls.setCaption("Label12", "");
    m_p.controls.setCaption("Label22", "");
    m_p.Timer4.setEnabled(false);
}

void Form1::setReplyPeriods(const ReplyPeriods &periods)
{
    m_p.Timer2.setInterval(periods.reply);
    m_p.Timer4.setInterval(periods.clear);
}

// Decodes from the trace as Label12 now shows it, against the command last sent.
void Form1::decodeStatusReply()
{
    if (auto status = decodeStatus(m_fields.LastCommand, m_p.controls.caption("Label12")))
        m_p.controls.setCaption("Label22", *status);
}
