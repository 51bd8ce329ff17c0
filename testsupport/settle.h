#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

// Runs the event loop until everything ready now has been dispatched, and what that queued in turn: a
// zero-time timer fires only after the loop has looked at every descriptor and event before it. A check
// that something did not happen follows this, not a guessed wait.
inline void settle()
{
    constexpr int Rounds = 2;
    for (int round = 0; round < Rounds; ++round) {
        bool fired = false;
        QTimer::singleShot(0, [&fired] { fired = true; });
        while (!fired)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}
