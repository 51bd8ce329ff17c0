#pragma once

#include "wire/replyperiods.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// Window geometry is designed in twips; the screen shows 15 of them to a pixel.
constexpr int TwipsPerPixel = 15;
constexpr int twipsToPixels(double twips)
{
    return static_cast<int>(twips >= 0 ? twips / TwipsPerPixel + 0.5 : twips / TwipsPerPixel - 0.5);
}

// The four timers' intervals as the window is created; all four are stopped then.
constexpr std::chrono::milliseconds Timer1Interval{200};
constexpr std::chrono::milliseconds Timer2Interval = DesignPeriods.reply;
constexpr std::chrono::milliseconds Timer3Interval{5000};
constexpr std::chrono::milliseconds Timer4Interval = DesignPeriods.clear;

enum class ControlKind { Frame, Button, Label, Option, TextBox, Picture };
enum class FontFace {
    Gothic,  // fixed pitch
    PGothic, // proportional
};
enum class Alignment { Left, Centre, Right };

struct FontSpec
{
    FontFace face;
    double points;
    bool bold;
};

// The window's own font, which a control with no font of its own uses.
constexpr FontSpec WindowFont{FontFace::Gothic, 9, true};

struct TwipsRect
{
    int left;
    int top;
    int width;
    int height;
};

// One control of the window, as designed. A frame's children are placed relative to the frame.
struct ControlSpec
{
    std::string_view name;
    std::string_view container; // "" for the window itself
    ControlKind kind;
    std::string_view caption; // UTF-8
    TwipsRect geometry;
    std::optional<std::uint32_t> backColour; // RGB; none keeps the system colour
    FontSpec font = WindowFont;
    Alignment alignment = Alignment::Left;
    std::optional<std::uint32_t> textColour = {};
    bool border = false; // labels with a single border
    bool visibleAtStart = true;
    bool selectedAtStart = false; // option buttons
};

// A straight segment of the outline drawn round the cursor cluster, in window twips.
struct LineSpec
{
    std::string_view name;
    int x1;
    int y1;
    int x2;
    int y2;
};

struct WindowSpec
{
    std::string_view caption;
    std::uint32_t backColour;
    int clientWidth;  // twips
    int clientHeight; // twips, as designed
    int outerWidth;   // twips, frame included, as designed
    int outerHeight;  // twips, title bar and frame included, as designed
};

const WindowSpec &windowSpec();
// In an order in which every container comes before what it holds.
std::span<const ControlSpec> controlTable();
std::span<const LineSpec> outlineLines();
const ControlSpec *findControl(std::string_view name);
