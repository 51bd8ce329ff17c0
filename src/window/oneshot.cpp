#include "window/form1.h"
#include "wire/holdtable.h"
#include "wire/oneshottable.h"
#include "wire/replyperiods.h"

#include <chrono>

using namespace std::chrono_literals;

namespace {
constexpr auto CursorRepeat = 200ms;
} // namespace

void Form1::OneShot_Click(const OneShotButton &button)
{
    if (button.kind == ButtonKind::LongWait)
        setReplyPeriods(LongWaitPeriods);
    else if (button.kind == ButtonKind::LongestWait)
        setReplyPeriods(LongestWaitPeriods);
    sendCode(button.code);
    if (button.kind == ButtonKind::CursorSetup) {
        m_p.Timer1.setInterval(CursorRepeat);
        m_fields.ArrowPace = CursorArrowPace;
    }
}
