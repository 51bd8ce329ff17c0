#include "qt/commandline/commandlinerunner.h"

#include "console/commandlinemode.h"
#include "console/statuswatch.h"
#include "link/trafficline.h"
#include "qt/commandline/exchangeoutput.h"
#include "qt/commandline/portendpoints.h"
#include "qt/commandline/scriptreader.h"
#include "qt/links/qtserialport.h"
#include "qt/window/qttimer.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <stdexcept>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

namespace {
// Each line as it happens, for whoever reads the other end of a pipe.
bool writeOut(const QByteArray &line)
{
    return std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout) == std::size_t(line.size()) &&
           std::fflush(stdout) == 0;
}

void tell(const std::string &text)
{
    std::fprintf(stderr, "tavo-console: %s\n", text.c_str());
}

// The write end of the pipe that carries SIGINT and SIGTERM to the event loop.
int stopPipeWriter = -1;

void stopSignalled(int)
{
    const int saved = errno;
    const char byte = 0;
    static_cast<void>(::write(stopPipeWriter, &byte, 1));
    errno = saved;
}

// SIGINT, SIGTERM and SIGHUP call `stop` on the event loop, for as long as this lives.
class StopSignals
{
public:
    explicit StopSignals(std::function<void()> stop)
    {
        if (::pipe2(m_pipe, O_NONBLOCK | O_CLOEXEC) != 0)
            throw std::runtime_error("the watch cannot take signals (" + std::string(std::strerror(errno)) +
                                     ")");
        stopPipeWriter = m_pipe[1];
        m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this, stop = std::move(stop)] {
            char byte = 0;
            while (::read(m_pipe[0], &byte, 1) == 1) {
            }
            stop();
        });
        struct sigaction action = {};
        action.sa_handler = stopSignalled;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int signal : StopSignalNumbers)
            ::sigaction(signal, &action, nullptr);
    }
    ~StopSignals()
    {
        for (const int signal : StopSignalNumbers)
            std::signal(signal, SIG_DFL);
        m_notifier.reset();
        ::close(m_pipe[0]);
        ::close(m_pipe[1]);
    }
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

private:
    // A terminal that hangs up stops the watch as SIGTERM does: the port is closed and the log drained.
    static constexpr std::array<int, 3> StopSignalNumbers = {SIGINT, SIGTERM, SIGHUP};
    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

std::string localNow()
{
    return trafficTimestamp(std::chrono::system_clock::now());
}

std::chrono::nanoseconds steadyNow()
{
    return std::chrono::steady_clock::now().time_since_epoch();
}
} // namespace

int runCommandLineMode(int argc, char *argv[], const ConsoleOptions &options, TrafficLog *log)
{
    QCoreApplication app(argc, argv);
    CommandSource texts;
    std::unique_ptr<ScriptReader> script;
    if (options.script.empty()) {
        for (const std::string &text : options.sends)
            texts.add(text);
        texts.end();
    } else {
        script = std::make_unique<ScriptReader>(options.script, texts);
    }
    const PortEndpoints endpoints(options);
    QtSerialPort port(endpoints.endpoint(1), endpoints.endpoint(2));
    port.setTrafficLog(log);
    port.setOnNotice(tell);
    QtTimer wait(options.wait);
    const bool json = options.json;
    CommandLineMode mode(
        port, wait, steadyNow, texts, options.settings, options.wait,
        [json](const Exchange &exchange) {
            return writeOut(json ? exchangeJson(exchange) : exchangeText(exchange));
        },
        [json, &port](int exitCode, const std::string &error) {
            if (!error.empty())
                std::fprintf(stderr, "tavo-console: %s\n", error.c_str());
            // A script reading the output learns why it ended there too, unless the output itself failed.
            if (json && !error.empty() && exitCode != CommandLineMode::WriteFailed)
                writeOut(failureJson(error, port.portName(), exitCode));
            QCoreApplication::exit(exitCode);
        });
    QTimer::singleShot(0, &app, [&mode] { mode.start(); });
    return QCoreApplication::exec();
}

int runStatusWatch(int argc, char *argv[], const ConsoleOptions &options, TrafficLog *log)
{
    QCoreApplication app(argc, argv);
    const PortEndpoints endpoints(options);
    QtSerialPort port(endpoints.endpoint(1), endpoints.endpoint(2));
    port.setTrafficLog(log);
    port.setOnNotice(tell);
    const std::chrono::milliseconds period = options.watch;
    QtTimer round(period);
    QtTimer wait(options.wait);
    QtTimer reopen(StatusWatch::FirstReopenPause);
    const bool json = options.json;
    StatusWatch watch(
        port, round, wait, reopen, steadyNow, options.queries, options.settings, period, options.wait,
        [json](const Exchange &exchange) {
            return writeOut(json ? exchangeJson(exchange, localNow()) : exchangeText(exchange, localNow()));
        },
        tell,
        [json, &port](int exitCode, const std::string &error) {
            if (!error.empty())
                tell(error);
            if (json && !error.empty() && exitCode != CommandLineMode::WriteFailed)
                writeOut(failureJson(error, port.portName(), exitCode));
            QCoreApplication::exit(exitCode);
        });
    try {
        const StopSignals stopSignals([&watch] { watch.stop(); });
        QTimer::singleShot(0, &app, [&watch] { watch.start(); });
        return QCoreApplication::exec();
    } catch (const std::runtime_error &error) {
        tell(error.what());
        return CommandLineMode::PortFailed;
    }
}
