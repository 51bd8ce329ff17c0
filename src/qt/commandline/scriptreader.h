#pragma once

#include "console/commandsource.h"

#include <memory>
#include <string>

#include <QSocketNotifier>

// Feeds a command source from a script file or standard input on the event loop, as the bytes arrive, so
// a pipe's lines go out as they come. Reading pauses while the source holds ScriptLinesAhead commands
// not yet sent, so a long file is never held whole.
class ScriptReader
{
public:
    static constexpr std::size_t ScriptLinesAhead = 64;

    // Opens FILE, or takes standard input for "-"; throws std::runtime_error with the reason when it cannot.
    ScriptReader(const std::string &file, CommandSource &source);
    ~ScriptReader();
    ScriptReader(const ScriptReader &) = delete;
    ScriptReader &operator=(const ScriptReader &) = delete;

private:
    void readSome();
    void close();

    std::string m_name;
    CommandSource &m_source;
    int m_descriptor = -1;
    bool m_ownsDescriptor = false;
    // Standard input's flags as found, given back at the end: the descriptor is shared with the shell.
    int m_savedFlags = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
