#include "fakecontrols.h"

#include "window/controltable.h"

#include <cstdio>
#include <cstdlib>

namespace {
// A name the control table lacks is a typo the window would ignore: the test stops on it at once.
void requireControl(std::string_view name)
{
    if (findControl(name))
        return;
    std::fprintf(stderr, "FakeControls: no control named '%.*s' in the control table\n", int(name.size()),
                 name.data());
    std::abort();
}
} // namespace

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
    requireControl(control);
    auto found = m_captions.find(control);
    return found == m_captions.end() ? std::string() : found->second;
}

void FakeControls::setCaption(std::string_view control, const std::string &caption)
{
    requireControl(control);
    m_captions[std::string(control)] = caption;
}

bool FakeControls::visible(std::string_view control) const
{
    requireControl(control);
    auto found = m_visible.find(control);
    return found != m_visible.end() && found->second;
}

void FakeControls::setVisible(std::string_view control, bool visible)
{
    requireControl(control);
    m_visible[std::string(control)] = visible;
}

void FakeControls::select(std::string_view option)
{
    requireControl(option);
    selected.insert(std::string(option));
}
