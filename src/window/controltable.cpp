#include "window/controltable.h"

#include "program.h"
#include "wire/findrow.h"

#include <array>
#include <cstddef>

namespace {
constexpr std::uint32_t WindowBack = 0xC0C0C0; // frames and labels share the window's grey
constexpr std::uint32_t White = 0xFFFFFF;
constexpr std::uint32_t PowerTitleRed = 0xC00000;
constexpr std::uint32_t StatusRed = 0xFF0000;
constexpr std::optional<std::uint32_t> SystemColour = std::nullopt;
constexpr std::string_view OnWindow = "";

constexpr WindowSpec Window{"TAVO   QT27S   CONTROL   Ver." TAVO_VERSION, WindowBack, 9495, 8730, 9600, 9100};

constexpr FontSpec G9{FontFace::Gothic, 9, false};
constexpr FontSpec G825{FontFace::Gothic, 8.25, false};
constexpr FontSpec G825Bold{FontFace::Gothic, 8.25, true};
constexpr FontSpec G975{FontFace::Gothic, 9.75, false};
constexpr FontSpec G975Bold{FontFace::Gothic, 9.75, true};
constexpr FontSpec PG9{FontFace::PGothic, 9, false};
constexpr FontSpec PG9Bold{FontFace::PGothic, 9, true};
constexpr FontSpec PG975Bold{FontFace::PGothic, 9.75, true};

constexpr ControlSpec control(ControlKind kind, std::string_view name, std::string_view in,
                              std::string_view caption, TwipsRect at, std::optional<std::uint32_t> back,
                              FontSpec font)
{
    return {.name = name,
            .container = in,
            .kind = kind,
            .caption = caption,
            .geometry = at,
            .backColour = back,
            .font = font};
}

constexpr ControlSpec frame(std::string_view name, std::string_view in, TwipsRect at)
{
    return control(ControlKind::Frame, name, in, "", at, WindowBack, WindowFont);
}

constexpr ControlSpec button(std::string_view name, std::string_view in, std::string_view caption,
                             TwipsRect at, std::optional<std::uint32_t> back, FontSpec font)
{
    return control(ControlKind::Button, name, in, caption, at, back, font);
}

constexpr ControlSpec label(std::string_view name, std::string_view in, std::string_view caption,
                            TwipsRect at, std::uint32_t back, FontSpec font)
{
    return control(ControlKind::Label, name, in, caption, at, back, font);
}

constexpr ControlSpec option(std::string_view name, std::string_view in, std::string_view caption,
                             TwipsRect at, std::uint32_t back, FontSpec font)
{
    return control(ControlKind::Option, name, in, caption, at, back, font);
}

constexpr ControlSpec textBox(std::string_view name, std::string_view in, TwipsRect at,
                              std::optional<std::uint32_t> back, FontSpec font)
{
    return control(ControlKind::TextBox, name, in, "", at, back, font);
}

// The picture has no font of its own; it keeps the window's.
constexpr ControlSpec picture(std::string_view name, std::string_view in, TwipsRect at)
{
    return control(ControlKind::Picture, name, in, "", at, SystemColour, WindowFont);
}

constexpr ControlSpec centred(ControlSpec control)
{
    control.alignment = Alignment::Centre;
    return control;
}

constexpr ControlSpec rightAligned(ControlSpec control)
{
    control.alignment = Alignment::Right;
    return control;
}

constexpr ControlSpec textColour(ControlSpec control, std::uint32_t colour)
{
    control.textColour = colour;
    return control;
}

constexpr ControlSpec bordered(ControlSpec control)
{
    control.border = true;
    return control;
}

constexpr ControlSpec hidden(ControlSpec control)
{
    control.visibleAtStart = false;
    return control;
}

constexpr ControlSpec selected(ControlSpec control)
{
    control.selectedAtStart = true;
    return control;
}

// Every frame comes first, Frame8 before the Frame13 it holds; the rest follow group by group.
// clang-format off
constexpr ControlSpec Controls[] = {
    frame("Frame1", OnWindow, {120, 240, 1695, 975}),
    frame("Frame2", OnWindow, {1920, 240, 2895, 975}),
    frame("Frame10", OnWindow, {4920, 240, 2295, 975}),
    frame("Frame3", OnWindow, {120, 1440, 1695, 855}),
    frame("Frame4", OnWindow, {1920, 1440, 1695, 855}),
    frame("Frame7", OnWindow, {3720, 1440, 1695, 855}),
    frame("Frame6", OnWindow, {5640, 1440, 1695, 855}),
    frame("Frame5", OnWindow, {7440, 1440, 1815, 855}),
    hidden(frame("Frame8", OnWindow, {3480, 3600, 2775, 1185})),
    frame("Frame13", "Frame8", {120, 480, 2535, 615}),
    frame("Frame9", OnWindow, {45, 4920, 6312, 1290}),
    frame("Frame14", OnWindow, {120, 6735, 6015, 1080}),
    frame("Frame16", OnWindow, {7440, 6750, 1935, 945}),
    frame("Frame11", OnWindow, {7440, 7680, 1935, 975}),
    frame("Frame15", OnWindow, {120, 8040, 7215, 570}),

    picture("Image1", OnWindow, {8160, 120, 1200, 390}),

    button("Command18", "Frame1", "OFF", {960, 600, 615, 300}, 0xFFC0C0, PG9Bold),
    button("Command17", "Frame1", "ON", {120, 600, 615, 300}, 0xC0FFC0, PG9Bold),
    textColour(centred(label("Label1", "Frame1", "POWER", {240, 240, 1095, 255}, WindowBack, WindowFont)),
               PowerTitleRed),
    button("Command29", "Frame2", "Video", {2040, 600, 735, 300}, 0xC0FFFF, PG9Bold),
    button("Command28", "Frame2", "PC2", {1200, 600, 735, 300}, 0xC0FFFF, PG9Bold),
    button("Command27", "Frame2", "PC1", {120, 600, 855, 300}, 0xC0FFFF, PG9Bold),
    centred(label("Label2", "Frame2", "INPUT MODE SET", {480, 240, 1935, 255}, WindowBack, WindowFont)),
    button("Command38", "Frame10", "WIRELESS", {1080, 600, 975, 255}, 0xC0FFFF, G9),
    button("Command37", "Frame10", "WIRED", {120, 600, 855, 255}, 0xC0FFFF, G9),
    centred(label("Label14", "Frame10", "INPUT SIGNAL", {120, 240, 1935, 255}, WindowBack, WindowFont)),

    button("Command20", "Frame3", "OFF", {960, 480, 615, 300}, 0xFFC0C0, PG9Bold),
    button("Command19", "Frame3", "ON", {120, 480, 615, 300}, 0xC0FFC0, PG9Bold),
    centred(label("Label4", "Frame3", "SOUND MUTE", {120, 195, 1455, 300}, WindowBack, WindowFont)),
    button("Command22", "Frame4", "OFF", {960, 480, 615, 300}, 0xFFC0C0, PG9Bold),
    button("Command21", "Frame4", "ON", {120, 480, 615, 300}, 0xC0FFC0, PG9Bold),
    centred(label("Label5", "Frame4", "NO SHOW", {360, 210, 1095, 285}, WindowBack, WindowFont)),
    button("Command26", "Frame7", "OFF", {960, 480, 615, 300}, 0xFFC0C0, PG9Bold),
    button("Command25", "Frame7", "ON", {120, 480, 615, 300}, 0xC0FFC0, PG9Bold),
    centred(label("Label8", "Frame7", "FREEZE", {240, 210, 1215, 285}, WindowBack, WindowFont)),
    button("Command24", "Frame6", "OFF", {960, 480, 615, 300}, 0xFFC0C0, PG9Bold),
    button("Command23", "Frame6", "ON", {120, 480, 615, 300}, 0xC0FFC0, PG9Bold),
    centred(label("Label7", "Frame6", "MENU", {360, 240, 975, 255}, WindowBack, WindowFont)),
    button("Command32", "Frame5", "Wide", {1080, 480, 615, 300}, 0xC0FFFF, PG9),
    button("Command31", "Frame5", "Regular", {120, 480, 855, 300}, 0xC0FFFF, PG9),
    centred(label("Label6", "Frame5", "AV Size", {240, 210, 1335, 285}, WindowBack, WindowFont)),

    centred(label("Label3", OnWindow, "VOL", {3600, 2520, 495, 255}, WindowBack, WindowFont)),
    button("Command1", OnWindow, "+", {3600, 2880, 375, 255}, 0xFFC080, WindowFont),
    button("Command2", OnWindow, "-", {3600, 3240, 375, 255}, 0xFFC080, WindowFont),
    label("Label13", OnWindow, "Brightness", {4560, 2520, 975, 255}, WindowBack, G9),
    button("Command15", OnWindow, "+", {4800, 2880, 375, 255}, 0xC0FFFF, G9),
    button("Command35", OnWindow, "-", {4800, 3240, 375, 255}, 0xC0FFFF, G9),
    label("Label17", OnWindow, "D.Zoom", {6360, 2520, 735, 255}, WindowBack, G9),
    button("Command48", OnWindow, "+", {6480, 2880, 375, 255}, 0xC0FFFF, PG9),
    button("Command49", OnWindow, "-", {6480, 3240, 375, 255}, 0xC0FFFF, G9),
    label("Label18", OnWindow, "Keystone", {7320, 2520, 855, 255}, WindowBack, G9),
    button("Command50", OnWindow, "+", {7440, 2880, 375, 255}, 0xC0FFFF, G9),
    button("Command51", OnWindow, "-", {7440, 3240, 375, 255}, 0xC0FFFF, G9),

    button("Command5", OnWindow, "↑", {1200, 2520, 855, 375}, 0xFFE0C0, PG9Bold),
    button("Command9", OnWindow, "←", {240, 3000, 855, 375}, 0xFFE0C0, PG9Bold),
    button("Command6", OnWindow, "SELECT", {1200, 3000, 855, 375}, 0xFF8000, G9),
    button("Command8", OnWindow, "→", {2160, 3000, 855, 375}, 0xFFE0C0, PG9Bold),
    button("Command7", OnWindow, "↓", {1200, 3480, 855, 375}, 0xFFE0C0, PG9Bold),

    button("Command4", OnWindow, "STAND", {240, 4080, 975, 255}, 0xC0FFFF, G9),
    button("Command10", OnWindow, "REAL", {1200, 4080, 975, 255}, 0xC0FFFF, G9),
    button("Command11", OnWindow, "CINEMA", {2160, 4080, 975, 255}, 0xC0FFFF, G9),
    button("Command39", OnWindow, "IMAGE1", {240, 4320, 975, 255}, 0xC0FFFF, G9),
    button("Command40", OnWindow, "IMAGE2", {1200, 4320, 975, 255}, 0xC0FFFF, G9),
    button("Command41", OnWindow, "IMAGE3", {2160, 4320, 975, 255}, 0xC0FFFF, G9),
    button("Command42", OnWindow, "IMAGE4", {240, 4560, 975, 255}, 0xC0FFFF, G9),
    button("Command12", OnWindow, "B.Board", {1200, 4560, 975, 255}, 0xC0FFFF, G9),
    button("Command36", OnWindow, "Dynamic", {2160, 4560, 975, 255}, 0xC0FFFF, G9),

    button("Command13", OnWindow, "A-IMAGE", {8400, 2760, 975, 250}, 0x00C0C0, G9),
    button("Command30", OnWindow, "IMAGE", {8400, 3120, 975, 255}, 0xC0C0FF, G9),
    button("Command14", OnWindow, "P-TIMER", {8400, 3360, 975, 250}, 0xC0C0FF, G9),
    button("Command3", OnWindow, "DISPLAY CLEAR", {8400, 3600, 975, 492}, 0xC0C0FF, G9),
    button("Command16", OnWindow, "END", {8400, 4320, 975, 375}, 0xC0C0C0, WindowFont),

    label("Label19", OnWindow, "R/C KEY OFF", {6600, 3720, 1332, 252}, WindowBack, G9),
    button("Command56", OnWindow, "NONE", {6600, 3960, 1200, 372}, 0xC0FFFF, G9),
    button("Command57", OnWindow, "R/C", {6600, 4320, 606, 372}, 0xC0FFFF, G9),
    button("Command58", OnWindow, "KEY", {7200, 4320, 606, 372}, 0xC0FFFF, G9),

    button("Command33", OnWindow, "COM", {4080, 4200, 1815, 375}, SystemColour, PG9),
    option("Option2", "Frame8", "COM2", {1560, 240, 1095, 255}, WindowBack, WindowFont),
    option("Option1", "Frame8", "COM1", {240, 240, 1215, 255}, WindowBack, WindowFont),
    option("Option10", "Frame13", "9600", {1440, 240, 975, 300}, WindowBack, WindowFont),
    selected(option("Option9", "Frame13", "19200", {120, 240, 1095, 255}, WindowBack, WindowFont)),

    hidden(button("Command34", OnWindow, "データを表示する", {6600, 5040, 1200, 375}, 0xC0C0C0, PG9)),
    button("Command44", OnWindow, "STATUS", {6480, 5640, 975, 255}, 0xC0FFFF, G825Bold),
    button("Command46", OnWindow, "L-TIME", {7440, 5640, 975, 255}, 0xC0FFFF, G825Bold),
    button("Command54", OnWindow, "TEMP", {8400, 5640, 975, 252}, 0xC0FFFF, G825Bold),
    button("Command45", OnWindow, "MODE", {6480, 5880, 975, 255}, 0xC0FFFF, G825Bold),
    button("Command47", OnWindow, "SETTING", {7440, 5880, 975, 255}, 0xC0FFFF, G825Bold),

    label("Label23", "Frame9", "STATUS", {120, 960, 735, 225}, WindowBack, G825),
    textColour(bordered(label("Label22", "Frame9", "", {930, 915, 5295, 300}, White, PG9Bold)), StatusRed),
    bordered(label("Label12", "Frame9", "", {600, 540, 5616, 300}, White, PG975Bold)),
    bordered(label("Label11", "Frame9", "", {600, 180, 5610, 300}, White, PG975Bold)),
    rightAligned(label("Label10", "Frame9", "RXD", {75, 555, 450, 300}, WindowBack, G9)),
    rightAligned(label("Label9", "Frame9", "TXD", {105, 210, 390, 285}, WindowBack, G9)),

    button("Command82", "Frame14", "Video", {1920, 720, 975, 255}, 0xC0FFFF, G9),
    button("Command81", "Frame14", "Auto", {960, 720, 975, 255}, 0xC0FFFF, G9),
    button("Command74", "Frame14", "Component", {1920, 480, 1450, 255}, 0xC0FFFF, G9),
    button("Command73", "Frame14", "Scart", {3360, 480, 975, 255}, 0xC0FFFF, G9),
    button("Command72", "Frame14", "RGB", {960, 480, 975, 255}, 0xC0FFFF, G9),
    button("Command69", "Frame14", "S-Video", {2880, 720, 1095, 255}, 0xC0FFFF, G9),
    button("Command66", "Frame14", "DVI(AV HDCP)", {3720, 240, 1815, 255}, 0xC0FFFF, G9),
    button("Command65", "Frame14", "DVI(PC Digital)", {1920, 240, 1815, 255}, 0xC0FFFF, G9),
    button("Command64", "Frame14", "RGB", {960, 240, 975, 255}, 0xC0FFFF, G9),
    label("Label24", "Frame14", "Video", {120, 720, 855, 255}, WindowBack, WindowFont),
    label("Label16", "Frame14", "PC2", {120, 480, 735, 255}, WindowBack, WindowFont),
    label("Label15", "Frame14", "PC1", {120, 240, 735, 255}, WindowBack, WindowFont),
    button("Command98", "Frame16", "NOR", {960, 600, 855, 255}, 0xC0FFC0, WindowFont),
    button("Command97", "Frame16", "MAX", {120, 600, 855, 255}, 0xC0FFC0, WindowFont),
    label("Label27", "Frame16", "FAN SPEED", {345, 240, 1215, 255}, WindowBack, WindowFont),
    button("Command67", "Frame11", "User", {1080, 600, 735, 255}, 0xC0FFFF, G9),
    button("Command63", "Frame11", "DEF", {600, 600, 495, 255}, 0xC0FFC0, G9),
    button("Command61", "Frame11", "OFF", {120, 600, 495, 255}, 0xFFC0C0, G9),
    centred(label("Label20", "Frame11", "LOGO", {480, 240, 855, 255}, WindowBack, WindowFont)),
    button("Command96", "Frame15", "CLS", {6480, 240, 615, 255}, 0xFFC0C0, WindowFont),
    button("Command95", "Frame15", "SEND", {5760, 240, 735, 255}, 0xC0FFC0, WindowFont),
    textBox("Text1", "Frame15", {600, 165, 5055, 345}, SystemColour, G975Bold),
    label("Label26", "Frame15", "CMD", {120, 240, 495, 255}, WindowBack, G975),
};
// clang-format on

struct OutlinePoint
{
    int x;
    int y;
};

// The cross-shaped outline round the cursor cluster: its corners in the order the path visits them, and
// the name of the segment that leaves each corner, the last one closing back to the first corner.
constexpr std::array<OutlinePoint, 12> OutlinePath{{{120, 2880},
                                                    {1080, 2880},
                                                    {1080, 2400},
                                                    {2160, 2400},
                                                    {2160, 2880},
                                                    {3120, 2880},
                                                    {3120, 3480},
                                                    {2160, 3480},
                                                    {2160, 3960},
                                                    {1080, 3960},
                                                    {1080, 3480},
                                                    {120, 3480}}};
constexpr std::array<std::string_view, OutlinePath.size()> OutlineNames{"Line8",  "Line1", "Line7",  "Line2",
                                                                        "Line9",  "Line3", "Line12", "Line4",
                                                                        "Line11", "Line5", "Line10", "Line6"};

constexpr std::array<LineSpec, OutlinePath.size()> makeOutline()
{
    std::array<LineSpec, OutlinePath.size()> lines{};
    for (std::size_t i = 0; i < OutlinePath.size(); ++i) {
        const OutlinePoint from = OutlinePath[i];
        const OutlinePoint to = OutlinePath[(i + 1) % OutlinePath.size()];
        lines[i] = {OutlineNames[i], from.x, from.y, to.x, to.y};
    }
    return lines;
}

constexpr std::array<LineSpec, OutlinePath.size()> Outline = makeOutline();
} // namespace

const WindowSpec &windowSpec()
{
    return Window;
}

std::span<const ControlSpec> controlTable()
{
    return Controls;
}

std::span<const LineSpec> outlineLines()
{
    return Outline;
}

const ControlSpec *findControl(std::string_view name)
{
    return findRow(controlTable(), &ControlSpec::name, name);
}
