#pragma once

#include "window/controls.h"

#include <map>
#include <set>
#include <string>

// The window's controls for tests: the designed captions and visibility, and what handlers did to them.
// A name that is not in the control table aborts the test, so a typo cannot pass by being repeated.
class FakeControls : public Controls
{
public:
    FakeControls();

    std::string caption(std::string_view control) const override;
    void setCaption(std::string_view control, const std::string &caption) override;
    bool visible(std::string_view control) const override;
    void setVisible(std::string_view control, bool visible) override;
    void select(std::string_view option) override;
    std::string text(std::string_view textBox) const override { return caption(textBox); }
    void setText(std::string_view textBox, const std::string &text) override { setCaption(textBox, text); }

    TwipsSize screenSize() const override { return screen; }
    TwipsSize windowSize() const override { return {windowWidth, height}; }
    double windowHeight() const override { return height; }
    void setWindowHeight(double twips) override { height = twips; }
    void moveWindow(double x, double y) override
    {
        left = x;
        top = y;
    }
    void unload() override { unloaded = true; }

    TwipsSize screen{15360, 11520};
    double windowWidth = 9600;
    double height = 9100;
    double left = 0;
    double top = 0;
    bool unloaded = false;
    std::set<std::string> selected;

private:
    std::map<std::string, std::string, std::less<>> m_captions;
    std::map<std::string, bool, std::less<>> m_visible;
};
