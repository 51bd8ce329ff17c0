#include "window/form1.h"
#include "wire/holdtable.h"
#include "wire/replyperiods.h"

#include <chrono>

using namespace std::chrono_literals;

namespace {
// The periods an arrow press sets at each pace.
constexpr auto CursorArrowReply = 150ms;
constexpr auto CursorArrowClear = 190ms;
constexpr auto FastArrowPeriod = 5ms;
} // namespace

void Form1::Hold_MouseDown(const HoldButton &button)
{
    if (button.arrow) {
        if (m_fields.ArrowPace == CursorArrowPace) {
            m_p.Timer2.setInterval(CursorArrowReply);
            m_p.Timer4.setInterval(CursorArrowClear);
        } else if (m_fields.ArrowPace == FastArrowPace) {
            m_p.Timer2.setInterval(FastArrowPeriod);
            m_p.Timer4.setInterval(FastArrowPeriod);
        }
    }
    m_fields.RepeatCode = button.repeatCode;
    sendCode(button.code);
    if (!button.arrow) {
        m_p.Timer1.setInterval(button.repeatInterval);
        m_p.Timer2.setInterval(button.replyInterval);
        m_p.Timer4.setInterval(button.clearInterval);
    }
    m_p.Timer1.setEnabled(true);
}

// Nothing is held any more: no tick sends again.
void Form1::stopRepeat()
{
    m_fields.RepeatCode = 0;
    m_p.Timer1.setEnabled(false);
}

void Form1::Hold_MouseUp(const HoldButton &button)
{
    stopRepeat();
    m_p.Timer2.setEnabled(false);
    m_p.Timer4.setEnabled(true);
    m_p.controls.setCaption("Label11", "");
    m_p.controls.setCaption("Label12", "");
    setReplyPeriods(DesignPeriods);
    m_fields.ReceiveBuffer.clear();
    if (button.setsFastArrowPace) {
        m_p.Timer1.setInterval(FastArrowPeriod);
        m_fields.ArrowPace = FastArrowPace;
    }
}

// Timer1 stays enabled between ticks, so the next one follows one interval later.
void Form1::Timer1_Timer()
{
    if (m_fields.RepeatCode == 0)
        return;
    const HoldButton *held = findHoldButton(m_fields.RepeatCode);
    if (!held)
        return;
    try {
        sendCode(held->code);
    } catch (const SerialError &) {
        // A port that fails once fails at every tick: end the hold so the operator is told once.
        stopRepeat();
        throw;
    }
}
