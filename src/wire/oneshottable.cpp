#include "wire/oneshottable.h"

#include "wire/findrow.h"
#include "wire/statusqueries.h"

namespace {
const OneShotButton Buttons[] = {
    {"Command17", "C00", ButtonKind::Plain},
    {"Command18", "C01", ButtonKind::Plain},
    {"Command27", "C05", ButtonKind::Plain},
    {"Command28", "C06", ButtonKind::Plain},
    {"Command29", "C07", ButtonKind::Plain},
    {"Command37", "C81", ButtonKind::Plain},
    {"Command38", "C82", ButtonKind::Plain},
    {"Command19", "C0B", ButtonKind::Plain},
    {"Command20", "C0C", ButtonKind::Plain},
    {"Command21", "C0D", ButtonKind::Plain},
    {"Command22", "C0E", ButtonKind::Plain},
    {"Command25", "C43", ButtonKind::Plain},
    {"Command26", "C44", ButtonKind::Plain},
    {"Command23", "C1C", ButtonKind::CursorSetup},
    {"Command24", "C1D", ButtonKind::Plain},
    {"Command31", "C0F", ButtonKind::Plain},
    {"Command32", "C10", ButtonKind::Plain},
    {"Command13", "C89", ButtonKind::CursorSetup},
    {"Command30", "C27", ButtonKind::Plain},
    {"Command14", "C8A", ButtonKind::Plain},
    {"Command3", "C1E", ButtonKind::Plain},
    {"Command56", "CF KEYDIS NONE", ButtonKind::Plain},
    {"Command57", "CF KEYDIS RC", ButtonKind::Plain},
    {"Command58", "CF KEYDIS KEY", ButtonKind::Plain},
    {"Command4", "C11", ButtonKind::LongWait},
    {"Command10", "C12", ButtonKind::LongWait},
    {"Command11", "C13", ButtonKind::LongWait},
    {"Command39", "C14", ButtonKind::LongWait},
    {"Command40", "C15", ButtonKind::LongWait},
    {"Command41", "C16", ButtonKind::LongWait},
    {"Command42", "C17", ButtonKind::LongWait},
    {"Command12", "C18", ButtonKind::LongWait},
    {"Command36", "C19", ButtonKind::LongWait},
    {"Command44", StatusQuery::OperatingState, ButtonKind::Plain},
    {"Command45", StatusQuery::SelectedInput, ButtonKind::Plain},
    {"Command46", StatusQuery::LampHours, ButtonKind::Plain},
    {"Command47", StatusQuery::PictureOrientation, ButtonKind::Plain},
    {"Command54", StatusQuery::Temperatures, ButtonKind::Plain},
    {"Command64", "C50", ButtonKind::LongestWait},
    {"Command65", "C52", ButtonKind::LongestWait},
    {"Command66", "C53", ButtonKind::LongestWait},
    {"Command72", "C25", ButtonKind::LongestWait},
    {"Command74", "C24", ButtonKind::LongestWait},
    {"Command73", "C26", ButtonKind::LongestWait},
    {"Command81", "C32", ButtonKind::LongestWait},
    {"Command82", "C33", ButtonKind::LongestWait},
    {"Command69", "C34", ButtonKind::LongestWait},
    {"Command97", "CF FANSPEED MAX", ButtonKind::Plain},
    {"Command98", "CF FANSPEED NOR", ButtonKind::Plain},
    {"Command61", "CF LOGO OFF", ButtonKind::Plain},
    {"Command63", "CF LOGO DEFAULT", ButtonKind::Plain},
    {"Command67", "CF LOGO USER", ButtonKind::Plain},
};
} // namespace

std::span<const OneShotButton> oneShotButtons()
{
    return Buttons;
}

const OneShotButton *findOneShotButton(std::string_view control)
{
    return findRow(oneShotButtons(), &OneShotButton::control, control);
}
