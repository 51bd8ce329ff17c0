#include "commands/holdtable.h"
#include "commands/oneshottable.h"
#include "console/form1.h"

#include <chrono>

using namespace std::chrono_literals;

namespace {
constexpr auto LongWaitReply = 2000ms;
constexpr auto LongWaitClear = 2500ms;
constexpr auto LongestWaitReply = 5000ms;
constexpr auto LongestWaitClear = 5500ms;
constexpr auto CursorRepeat = 200ms;
} // namespace

void Form1::OneShot_Click(const OneShotButton &button)
{
    if (button.kind == ButtonKind::LongWait) {
        m_p.Timer2.setInterval(LongWaitReply);
        m_p.Timer4.setInterval(LongWaitClear);
    } else if (button.kind == ButtonKind::LongestWait) {
        m_p.Timer2.setInterval(LongestWaitReply);
        m_p.Timer4.setInterval(LongestWaitClear);
    }
    sendCode(button.code);
    if (button.kind == ButtonKind::CursorSetup) {
        m_p.Timer1.setInterval(CursorRepeat);
        m_fields.ArrowPace = CursorArrowPace;
    }
}
