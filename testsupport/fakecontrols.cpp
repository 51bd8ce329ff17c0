#include "fakecontrols.h"

#include "console/controltable.h"

FakeControls::FakeControls()
{
    for (const ControlSpec &control : controlTable()) {
        m_captions[std::string(control.name)] = std::string(control.caption);
        m_visible[std::string(control.name)] = control.visibleAtStart;
        if (control.selectedAtStart)
            selected.insert(std::string(control.name));
    }
}

std::string FakeControls::caption(std::string_view control) const
{
    auto found = m_captions.find(control);
    return found == m_captions.end() ? std::string() : found->second;
}

void FakeControls::setCaption(std::string_view control, const std::string &caption)
{
    m_captions[std::string(control)] = caption;
}

bool FakeControls::visible(std::string_view control) const
{
    auto found = m_visible.find(control);
    return found != m_visible.end() && found->second;
}

void FakeControls::setVisible(std::string_view control, bool visible)
{
    m_visible[std::string(control)] = visible;
}
