#pragma once

#include "link/bytelink.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The texts the command-line mode sends, in order, as they become ready: given whole (each --send TEXT)
// or read from a script as its bytes arrive, so a pipe's lines go out as they come.
class CommandSource
{
public:
    // The longest command: with its CR it fills the link's write queue. A longer script line stops the
    // run as bad input rather than growing without end or failing at the port.
    static constexpr std::size_t LineLimitBytes = ByteLink::WriteQueueLimit - 1;

    // One command, sent as given, even blank.
    void add(std::string text);
    // Script bytes as they arrive: one command per line, a line ended by LF, CR or CR LF. Lines blank
    // but for spaces and tabs, lines whose first other character is '#', and a UTF-8 byte-order mark
    // at the start are skipped; a command keeps its other bytes as given.
    void feed(std::string_view bytes);
    // No more input comes; a last line without its line feed is still a command.
    void end();
    // The input could not be read: once the commands before it are sent, the run stops with this text.
    void fail(std::string text);

    // The next command, when one is ready.
    std::optional<std::string> take();
    // No more input will come.
    bool closed() const { return m_ended; }
    // Every command has been taken and no more will come.
    bool ended() const { return m_ended && m_ready.empty(); }
    // Why no more will come, once every command before it has been taken.
    const std::optional<std::string> &failure() const { return m_failure; }
    // How many commands are ready and not yet taken.
    std::size_t waiting() const { return m_ready.size(); }

    // Raised when a command becomes ready, or the input ends or fails.
    void setOnReady(std::function<void()> handler) { m_onReady = std::move(handler); }
    // Raised when a command has been taken, so a reader held back may read on.
    void setOnTaken(std::function<void()> handler) { m_onTaken = std::move(handler); }

private:
    void line(std::string_view text);
    void ready();

    std::deque<std::string> m_ready;
    std::string m_partial;
    std::size_t m_lines = 0;
    // The last line ended with a CR, so an LF coming next ends no line of its own.
    bool m_afterCr = false;
    bool m_ended = false;
    std::optional<std::string> m_failure;
    std::function<void()> m_onReady;
    std::function<void()> m_onTaken;
};
