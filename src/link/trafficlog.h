#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

// Where the traffic log's lines go: the file, or a stand-in a test can hold back.
class LogSink
{
public:
    struct Result
    {
        enum class Outcome { Written, GaveUp, Failed };
        Outcome outcome = Outcome::Written;
        std::string reason; // why it failed
    };

    virtual ~LogSink() = default;
    // Writes all of bytes, waiting while the reader is slow; returns GaveUp, having written perhaps a
    // part, once giveUp turns true while it waits.
    virtual Result write(std::string_view bytes, const std::atomic<bool> &giveUp) = 0;
    // The bytes the file holds now; nothing for what has no size (a FIFO, a device).
    virtual std::optional<std::uint64_t> size() const = 0;
    // FILE becomes FILE.1, replacing any FILE.1, and a fresh FILE is opened; the reason when it cannot.
    // When FILE was deleted or moved away meanwhile, the log goes on at FILE and nothing moves.
    virtual std::optional<std::string> startAfresh() = 0;
};

// The traffic log: one time-stamped line per event. Lines go through a bounded queue to a writer
// thread, so the line's traffic never waits on the disk; what the writer cannot keep up with is
// dropped, counted and said in the log. A file that would pass its limit moves to FILE.1 and the log
// goes on in a fresh FILE; a line longer than the limit is cut to fit, so no file passes it.
//
// Every call but the failure handler's is made on one thread, the UI thread; the writer thread only
// writes to the sink.
class TrafficLog
{
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;
    // Told once, on the writer thread, when a write fails and logging stops.
    using FailureHandler = std::function<void(const std::string &message)>;

    // A file grows to at most this many bytes before it moves to FILE.1.
    static constexpr std::uint64_t DefaultFileLimit = 64ULL * 1024 * 1024;
    // At most this many lines wait for the writer; more are dropped and counted.
    static constexpr std::size_t QueueLineLimit = 4096;
    // At the end, the queue has this long to be written.
    static constexpr std::chrono::milliseconds ExitWait{1000};

    // name is the file's name in messages.
    TrafficLog(std::unique_ptr<LogSink> sink, std::string name, std::uint64_t fileLimit = DefaultFileLimit,
               Clock clock = std::chrono::system_clock::now, std::size_t queueLimit = QueueLineLimit);
    // Closes with ExitWait.
    ~TrafficLog();
    TrafficLog(const TrafficLog &) = delete;
    TrafficLog &operator=(const TrafficLog &) = delete;

    // event is TX, RX, OPEN, CLOSE, LOST, FAIL, SETTINGS, PRESS or LEND; port names the port ("COM1
    // (/dev/ttyUSB0)") or, for a press or a loan, the projector.
    void write(std::string_view event, std::string_view port, std::string_view detail);

    // Without a handler the message is one line on stderr. Setting it waits for a call in progress.
    void setOnFailure(FailureHandler handler);

    // Waits up to wait for the queue to be written, then stops the writer; returns the lines that
    // were not written in time (none after a failure, which was told). Later calls return 0.
    std::size_t close(std::chrono::milliseconds wait = ExitWait);
    // A write failed and logging stopped.
    bool failed() const { return m_failed; }
    const std::string &name() const { return m_name; }

private:
    void run();
    // Writes one line, starting a fresh file first when it would pass the limit; false on failure.
    LogSink::Result writeLine(const std::string &line);
    void fail(const std::string &reason);

    std::unique_ptr<LogSink> m_sink;
    std::string m_name;
    std::uint64_t m_fileLimit;
    Clock m_clock;
    std::size_t m_queueLimit;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<std::string> m_queue;
    std::size_t m_dropped = 0;
    std::string m_firstDropTime;
    std::size_t m_unwritten = 0;
    bool m_stopping = false;
    bool m_writerDone = false;
    std::atomic<bool> m_giveUp = false;
    std::atomic<bool> m_failed = false;

    std::mutex m_handlerMutex;
    FailureHandler m_onFailure;

    std::thread m_writer;
};
