#include "watch/presswaiters.h"

#include <utility>

void PressWaiters::abandon()
{
    for (auto &[projector, waiting] : std::exchange(m_waiting, {})) {
        for (const Waiter &waiter : waiting) {
            if (waiter.done)
                waiter.done(nullptr);
        }
    }
}

PressOutcome PressWaiters::press(const std::string &projector, const Give &give, Done done)
{
    m_asking = Asking{projector, std::move(done)};
    const PressOutcome outcome = give();
    m_asking.reset();
    return outcome;
}

void PressWaiters::commanded(const std::string &projector, const Exchange &exchange)
{
    std::deque<Waiter> &waiting = m_waiting[projector];
    if (waiting.empty() || waiting.front().text != exchange.sent)
        return;
    const Waiter waiter = std::move(waiting.front());
    waiting.pop_front();
    if (waiter.done)
        waiter.done(&exchange);
}

void PressWaiters::pressed(const std::string &projector, const std::string &, const PressOutcome &outcome)
{
    if (outcome.kind != PressOutcome::Kind::Sent)
        return;
    const bool ours = m_asking && m_asking->projector == projector;
    m_waiting[projector].push_back({outcome.text, ours ? m_asking->done : Done()});
}

void PressWaiters::projectorRemoved(const std::string &projector)
{
    for (const Waiter &waiter : std::exchange(m_waiting[projector], {})) {
        if (waiter.done)
            waiter.done(nullptr);
    }
    m_waiting.erase(projector);
}
