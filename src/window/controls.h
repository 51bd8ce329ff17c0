#pragma once

#include <string>
#include <string_view>

// A size or a position in twips (1/1440 inch), as the window geometry is reckoned.
struct TwipsSize
{
    double width = 0;
    double height = 0;
};

// The window and the controls that handlers change, named by control name.
class Controls
{
public:
    virtual ~Controls() = default;

    // Captions are UTF-8. A caption set is read back whole, however much of it the control can show.
    virtual std::string caption(std::string_view control) const = 0;
    virtual void setCaption(std::string_view control, const std::string &caption) = 0;
    virtual bool visible(std::string_view control) const = 0;
    virtual void setVisible(std::string_view control, bool visible) = 0;
    // Marks an option button selected without raising its click.
    virtual void select(std::string_view option) = 0;
    // The text box's text, one char per character 0 to 255; "?" stands for anything beyond.
    virtual std::string text(std::string_view textBox) const = 0;
    virtual void setText(std::string_view textBox, const std::string &text) = 0;

    virtual TwipsSize screenSize() const = 0;
    // Outer size, title bar and frame included.
    virtual TwipsSize windowSize() const = 0;
    virtual double windowHeight() const = 0;
    virtual void setWindowHeight(double twips) = 0;
    virtual void moveWindow(double left, double top) = 0;
    // Closes the window and ends the program; no further event is handled.
    virtual void unload() = 0;
};
