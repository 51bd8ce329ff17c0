#pragma once

#include <span>
#include <string_view>

// What the simulated projector does on a command it knows. A query is answered with its reply; every
// other command is acknowledged, and changes the state where we simulate what it controls.
enum class ProjectorAction {
    Acknowledge,
    PowerOn,
    PowerOff,
    InputPc1,
    InputPc2,
    InputVideo,
    VolumeUp,
    VolumeDown,
    SoundMuteOn,
    SoundMuteOff,
    NoShowOn,
    NoShowOff,
    FreezeOn,
    FreezeOff,
    QueryPower,
    QueryInput,
    QueryLampHours,
    QueryOrientation,
    QueryTemperatures,
    QueryLampMode,
    QueryStatusLine,
    QueryMute,
    QueryPressure,
};

// One line of the projector's protocol list: a command it understands and what it does.
struct ProjectorCommand
{
    std::string_view code;
    ProjectorAction action;
    std::string_view meaning;
};

// Every command the simulated projector understands, in the order of its codes.
std::span<const ProjectorCommand> projectorCommands();
// The command with exactly this code (case and blanks count), or nullptr.
const ProjectorCommand *findProjectorCommand(std::string_view code);
