#pragma once

#include "console/exchange.h"
#include "console/timer.h"
#include "link/serialport.h"

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

// A status watch: asks each query in turn over one connection, a round every period, one query at a
// time, and reports the first round whole and then only the answers that changed. A lost line is not
// the end: it is said once, opened again after a pause that doubles up to LongestReopenPause, and said
// again when it is back. A projector that stops answering is a change to "no reply", not an end.
class StatusWatch
{
public:
    static constexpr auto FirstReopenPause = std::chrono::seconds(1);
    static constexpr auto LongestReopenPause = std::chrono::seconds(30);

    // Prints one exchange; false when the output could not be written.
    using Report = std::function<bool(const Exchange &)>;
    // One line for stderr, in the operator's words.
    using Notice = std::function<void(const std::string &)>;
    // The exit code, and the one line for stderr when the watch could not go on.
    using Finished = std::function<void(int exitCode, const std::string &error)>;
    using Clock = std::function<std::chrono::nanoseconds()>;

    // The round timer runs every period, the wait timer once per query, the reopen timer once per pause.
    StatusWatch(SerialPort &port, Timer &round, Timer &wait, Timer &reopen, Clock clock,
                std::vector<std::string> queries, std::string settings, std::chrono::milliseconds period,
                std::chrono::milliseconds waitPeriod, Report report, Notice notice, Finished finished);
    StatusWatch(const StatusWatch &) = delete;
    StatusWatch &operator=(const StatusWatch &) = delete;

    // Opens the port and asks the first round; a port that cannot be opened at all ends the watch (3).
    void start();
    // Ends the watch: the port is closed, and it finishes with 0.
    void stop();

private:
    void beginRound();
    void askNext();
    void received();
    void answered();
    void lost(const std::string &why);
    void tryReopen();
    // The line is open, at start or back after a loss.
    void opened();
    void openFailed(const SerialError &error);
    void growPause();
    void finish(int exitCode, const std::string &error);

    SerialPort &m_port;
    Timer &m_round;
    Timer &m_wait;
    Timer &m_reopen;
    Clock m_clock;
    std::vector<std::string> m_queries;
    std::string m_settings;
    Report m_report;
    Notice m_notice;
    Finished m_finished;
    // The query being asked, or m_queries.size() between rounds.
    std::size_t m_asking = 0;
    std::chrono::milliseconds m_pause = FirstReopenPause;
    bool m_done = false;
    Reply m_reply;
    std::chrono::nanoseconds m_sentAt{0};
    // The last reply reported per query: whether it came whole, and its bytes.
    std::map<std::string, std::pair<bool, std::string>> m_last;
};
