#pragma once

#include "link/serialerror.h"

#include <functional>
#include <string>

// What a line tells whoever uses it besides its bytes: how an open that waited for the far end came out,
// its loss, and a notice that it works but not as asked. The serial port and every byte link under it
// raise these alike.
class LineEvents
{
public:
    // Raised once when an open that was left connecting (a server not yet reached) completes: the line is
    // open, and what was written meanwhile goes out.
    void setOnOpened(std::function<void()> handler) { m_onOpened = std::move(handler); }
    // Raised once instead when such an open fails, with the error an open that fails at once would throw;
    // the line is closed by then, and what was written meanwhile is dropped.
    void setOnOpenFailed(std::function<void(const SerialError &)> handler)
    {
        m_onOpenFailed = std::move(handler);
    }
    // Raised once when an open line is lost (adapter pulled out, server gone); it is closed by then.
    void setOnLost(std::function<void(const SerialError &)> handler) { m_onLost = std::move(handler); }
    // Raised when the line works, but not as asked, in the operator's words ("the line runs at the
    // server's own speed").
    void setOnNotice(std::function<void(const std::string &)> handler) { m_onNotice = std::move(handler); }

protected:
    ~LineEvents() = default;

    void raiseOpened()
    {
        if (m_onOpened)
            m_onOpened();
    }
    void raiseOpenFailed(const SerialError &error)
    {
        if (m_onOpenFailed)
            m_onOpenFailed(error);
    }

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
    std::function<void()> m_onOpened;
    std::function<void(const SerialError &)> m_onOpenFailed;
    std::function<void(const SerialError &)> m_onLost;
    std::function<void(const std::string &)> m_onNotice;
};
