#include "window/form1.h"
#include "wire/replyperiods.h"

void Form1::Command95_Click()
{
    setReplyPeriods(FreeFormPeriods);
    m_fields.TypedCommand = m_p.controls.text("Text1");
    sendCode(m_fields.TypedCommand);
}

void Form1::Command96_Click()
{
    m_p.controls.setText("Text1", "");
}
