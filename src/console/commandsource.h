#pragma once

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
    // The longest script line kept; a longer one stops the run rather than growing without end.
    static constexpr std::size_t LineLimitBytes = 64 * 1024;

    // One command, sent as given, even blank.
    void add(std::string text);
    // Script bytes as they arrive: one command per line. Blank lines and lines starting with '#' are
    // skipped, and a CR before the line feed is no part of the command.
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
    bool m_ended = false;
    std::optional<std::string> m_failure;
    std::function<void()> m_onReady;
    std::function<void()> m_onTaken;
};
