#include "simulator/projectorcommands.h"

#include <algorithm>

namespace {
using enum ProjectorAction;

// Written as the projector's own list, not taken from the console, so that a wrong code on either side
// shows as a "?" on the line.
const ProjectorCommand Commands[] = {
    {"C00", PowerOn, "power on"},
    {"C01", PowerOff, "power off"},
    {"C05", InputPc1, "input PC1"},
    {"C06", InputPc2, "input PC2"},
    {"C07", InputVideo, "input video"},
    {"C09", VolumeUp, "volume up"},
    {"C0A", VolumeDown, "volume down"},
    {"C0B", SoundMuteOn, "sound mute on"},
    {"C0C", SoundMuteOff, "sound mute off"},
    {"C0D", NoShowOn, "no show on"},
    {"C0E", NoShowOff, "no show off"},
    {"C0F", Acknowledge, "screen size regular"},
    {"C10", Acknowledge, "screen size wide"},
    {"C11", Acknowledge, "picture mode standard"},
    {"C12", Acknowledge, "picture mode real"},
    {"C13", Acknowledge, "picture mode cinema"},
    {"C14", Acknowledge, "picture mode image 1"},
    {"C15", Acknowledge, "picture mode image 2"},
    {"C16", Acknowledge, "picture mode image 3"},
    {"C17", Acknowledge, "picture mode image 4"},
    {"C18", Acknowledge, "picture mode blackboard"},
    {"C19", Acknowledge, "picture mode dynamic"},
    {"C1C", Acknowledge, "menu on"},
    {"C1D", Acknowledge, "menu off"},
    {"C1E", Acknowledge, "display clear"},
    {"C20", Acknowledge, "brightness up"},
    {"C21", Acknowledge, "brightness down"},
    {"C24", Acknowledge, "PC2 signal component"},
    {"C25", Acknowledge, "PC2 signal RGB"},
    {"C26", Acknowledge, "PC2 signal scart"},
    {"C27", Acknowledge, "image adjustment"},
    {"C30", Acknowledge, "digital zoom in"},
    {"C31", Acknowledge, "digital zoom out"},
    {"C32", Acknowledge, "video signal auto"},
    {"C33", Acknowledge, "video signal composite"},
    {"C34", Acknowledge, "video signal S-video"},
    {"C3A", Acknowledge, "cursor right"},
    {"C3B", Acknowledge, "cursor left"},
    {"C3C", Acknowledge, "cursor up"},
    {"C3D", Acknowledge, "cursor down"},
    {"C3F", Acknowledge, "select"},
    {"C43", FreezeOn, "freeze on"},
    {"C44", FreezeOff, "freeze off"},
    {"C50", Acknowledge, "PC1 signal RGB"},
    {"C52", Acknowledge, "PC1 signal DVI digital"},
    {"C53", Acknowledge, "PC1 signal DVI HDCP"},
    {"C81", Acknowledge, "input signal wired"},
    {"C82", Acknowledge, "input signal wireless"},
    {"C89", Acknowledge, "automatic image adjustment"},
    {"C8A", Acknowledge, "presentation timer"},
    {"C8E", Acknowledge, "keystone up"},
    {"C8F", Acknowledge, "keystone down"},
    {"CF FANSPEED MAX", Acknowledge, "fan speed maximum"},
    {"CF FANSPEED NOR", Acknowledge, "fan speed normal"},
    {"CF KEYDIS KEY", Acknowledge, "keypad disabled"},
    {"CF KEYDIS NONE", Acknowledge, "no keys disabled"},
    {"CF KEYDIS RC", Acknowledge, "remote control disabled"},
    {"CF LOGO DEFAULT", Acknowledge, "start-up logo default"},
    {"CF LOGO OFF", Acknowledge, "start-up logo off"},
    {"CF LOGO USER", Acknowledge, "start-up logo user"},
    {"CR PRESSURE", QueryPressure, "air pressure reading"},
    {"CR0", QueryPower, "operating state"},
    {"CR1", QueryInput, "selected input"},
    {"CR3", QueryLampHours, "lamp hours"},
    {"CR4", QueryOrientation, "picture orientation"},
    {"CR6", QueryTemperatures, "temperatures"},
    {"CR7", QueryLampMode, "lamp mode"},
    {"CR9", QueryStatusLine, "status line"},
    {"CRA", QueryMute, "mute state"},
};
} // namespace

std::span<const ProjectorCommand> projectorCommands()
{
    return Commands;
}

const ProjectorCommand *findProjectorCommand(std::string_view code)
{
    const auto found = std::find_if(std::begin(Commands), std::end(Commands),
                                    [code](const ProjectorCommand &command) { return command.code == code; });
    return found == std::end(Commands) ? nullptr : found;
}
