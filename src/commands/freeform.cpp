#include "console/form1.h"

#include <chrono>

using namespace std::chrono_literals;

namespace {
constexpr auto SendReply = 2000ms;
constexpr auto SendClear = 2500ms;
} // namespace

void Form1::Command95_Click()
{
    m_p.Timer2.setInterval(SendReply);
    m_p.Timer4.setInterval(SendClear);
    m_fields.TypedCommand = m_p.controls.text("Text1");
    sendCode(m_fields.TypedCommand);
}

void Form1::Command96_Click()
{
    m_p.controls.setText("Text1", "");
}
