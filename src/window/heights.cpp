#include "window/form1.h"
#include "window/windowheights.h"

namespace {
constexpr double ToggleThresholdTwips = 6000;

constexpr int KeyJ = 'J';
constexpr int ModifierMask = 7; // Shift, Ctrl and Alt
constexpr int CtrlOnly = 2;

constexpr const char *CloseCaption = "CLOSE";
constexpr const char *ShowDataCaption = "データを表示する";
constexpr const char *HideDataCaption = "データを表示しない";
} // namespace

void Form1::Form_KeyDown(int keyCode, int shift)
{
    if (keyCode != KeyJ || (shift & ModifierMask) != CtrlOnly)
        return;
    m_p.controls.setWindowHeight(ServiceHeightTwips);
    m_fields.ServiceMode = 1;
    m_p.controls.setCaption("Command34", CloseCaption);
    m_p.controls.setVisible("Command34", true);
}

void Form1::Image1_DblClick()
{
    if (m_fields.ServiceMode != 1)
        return;
    m_p.controls.setWindowHeight(FullHeightTwips);
    m_p.controls.setCaption("Command34", CloseCaption);
    m_p.controls.setVisible("Command34", true);
}

void Form1::Command34_Click()
{
    m_p.Timer3.setEnabled(false);
    m_fields.ServiceMode = 0;
    if (m_p.controls.windowHeight() < ToggleThresholdTwips) {
        m_p.controls.setWindowHeight(DataPanelHeightTwips);
        m_p.controls.setCaption("Command34", HideDataCaption);
    } else {
        m_p.controls.setWindowHeight(CompactHeightTwips);
        m_p.controls.setCaption("Command34", ShowDataCaption);
    }
    m_p.Timer3.setEnabled(true);
}
