#pragma once

#include "program.h"

// How a command-line run ends, for the shell and the scripts that read it.
enum class ExitCode {
    AllAnswered = 0,
    NotAllAnswered = 1,
    // Bad input: an argument, the script or the fleet file could not be read or had a line over its limit.
    BadInput = UsageExitCode,
    PortFailed = 3,
    // The projector answered "?" to at least one command; a command without a reply says less.
    SomeRefused = 4,
    // The output or the traffic log could not be written: the run's outcome would be lost.
    WriteFailed = 5,
};

constexpr int exitStatus(ExitCode code)
{
    return static_cast<int>(code);
}

// What a run ends with when something could not be written: a port's failure says more, so it stands.
constexpr ExitCode withWriteFailure(ExitCode code)
{
    return code == ExitCode::PortFailed ? ExitCode::PortFailed : ExitCode::WriteFailed;
}
