#pragma once

#include "link/serialerror.h"

#include <functional>
#include <string>

// What a line tells whoever uses it besides its bytes: its loss, and a notice that it works but not as
// asked. The serial port and every byte link under it raise these alike.
class LineEvents
{
public:
    // Raised once when an open line is lost (adapter pulled out, server gone); it is closed by then.
    void setOnLost(std::function<void(const SerialError &)> handler) { m_onLost = std::move(handler); }
    // Raised when the line works, but not as asked, in the operator's words ("the line runs at the
    // server's own speed").
    void setOnNotice(std::function<void(const std::string &)> handler) { m_onNotice = std::move(handler); }

protected:
    ~LineEvents() = default;

    void raiseLost(const SerialError &error)
    {
        if (m_onLost)
            m_onLost(error);
    }
    void raiseNotice(const std::string &text)
    {
        if (m_onNotice)
            m_onNotice(text);
    }

private:
    std::function<void(const SerialError &)> m_onLost;
    std::function<void(const std::string &)> m_onNotice;
};
