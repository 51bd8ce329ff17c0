#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One thing a PJLink client's bytes lead to, in the order they came.
struct PjlinkInput
{
    enum class Kind {
        Line,   // a command line to act on, its CR and digest taken off
        Answer, // an answer to send at once
        Close,  // an answer to send, and then the connection closed
    };
    Kind kind = Kind::Line;
    std::string text;
    bool operator==(const PjlinkInput &) const = default;
};

// A PJLink client's side of one connection: its bytes cut into lines at CR, none longer than the class 1
// limit, and, when a password is set, the digest its first line must begin with.
class PjlinkSession
{
public:
    // The longest line, its CR included; a longer one is answered ERR1 and dropped whole.
    static constexpr std::size_t LineLimitBytes = 136;
    static constexpr std::size_t DigestBytes = 32;

    // digest: the 32 lowercase hex digits of MD5(random + password); none when no password is set.
    explicit PjlinkSession(std::optional<std::string> digest) : m_digest(std::move(digest)) {}

    // The greeting the server sends first: "PJLINK 0\r", or "PJLINK 1 RANDOM\r" with a password.
    static std::string greeting(const std::optional<std::string> &random);

    // What the bytes that arrived lead to; nothing after a Close.
    std::vector<PjlinkInput> receive(std::string_view bytes);

private:
    PjlinkInput take(std::string_view line);

    std::optional<std::string> m_digest; // until the first line has shown it
    std::string m_line;
    bool m_dropping = false; // inside a line that went past the limit
    bool m_closed = false;
};
