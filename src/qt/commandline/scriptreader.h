#pragma once

#include "exchange/commandsource.h"

#include <memory>
#include <string>

#include <QSocketNotifier>

// Feeds a command source from a script file or standard input on the event loop, as the bytes arrive, so
// a pipe's lines go out as they come. Reading pauses while the source holds ScriptLinesAhead commands
// not yet sent, so a long file is never held whole. Standard input keeps the flags the shell gave it, so
// no way out (a signal among them) can leave a terminal non-blocking.
class ScriptReader
{
public:
    static constexpr std::size_t ScriptLinesAhead = 64;

    // Opens FILE, or takes standard input for "-"; when FILE cannot be opened, the source fails with the
    // reason, as it does when FILE cannot be read.
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
    std::unique_ptr<QSocketNotifier> m_notifier;
};
