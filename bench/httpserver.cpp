// The real console's HTTP server under idle connections: 500 of them held open from 127.0.0.1 (each
// opened again as soon as the server cuts it), and meanwhile scrapes of /metrics from 127.0.0.2, their
// median and worst time; then how long SIGTERM takes to end the console.
// Usage: bench_httpserver [idle connections] [scrapes]
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
using Clock = std::chrono::steady_clock;
constexpr int DefaultIdle = 500;
constexpr int DefaultScrapes = 50;
constexpr int StartMs = 30000;
constexpr int StopMs = 5000;
constexpr int PollMs = 10;
constexpr int ScrapeWaitMs = 10000;
// Long enough for the idle connections to be open before the first scrape.
constexpr std::chrono::milliseconds Settle{1000};
constexpr std::chrono::milliseconds ScrapePause{100};

// A connected, non-blocking TCP socket from `from` to 127.0.0.1:port, or -1.
int connectFrom(const char *from, quint16 port, bool blocking)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (blocking ? 0 : SOCK_NONBLOCK), 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &local.sin_addr);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
        (::connect(fd, reinterpret_cast<sockaddr *>(&server), sizeof server) != 0 && errno != EINPROGRESS)) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

// Keeps `count` connections open from 127.0.0.1 with half a request each, opening one again whenever
// the server closes it; counts the openings.
void holdIdle(quint16 port, int count, const std::atomic<bool> &stop, std::atomic<long> &openings)
{
    std::vector<pollfd> fds(std::size_t(count), pollfd{-1, POLLIN, 0});
    while (!stop) {
        for (pollfd &entry : fds) {
            if (entry.fd >= 0)
                continue;
            entry.fd = connectFrom("127.0.0.1", port, false);
            ++openings;
            static constexpr char Half[] = "GET /metrics HTTP/1.1\r\n";
            // Loopback connects at once; one not yet connected stays idle without it.
            if (entry.fd >= 0)
                (void)::send(entry.fd, Half, sizeof Half - 1, MSG_NOSIGNAL);
        }
        if (::poll(fds.data(), fds.size(), PollMs) <= 0)
            continue;
        for (pollfd &entry : fds) {
            char scratch[256];
            if (entry.revents != 0 && ::recv(entry.fd, scratch, sizeof scratch, 0) <= 0) {
                ::close(entry.fd);
                entry.fd = -1;
            }
            entry.revents = 0;
        }
    }
    for (const pollfd &entry : fds)
        if (entry.fd >= 0)
            ::close(entry.fd);
}

// One scrape from 127.0.0.2: its time in ms, or -1 when no 200 came.
double scrape(quint16 port)
{
    const auto start = Clock::now();
    const int fd = connectFrom("127.0.0.2", port, true);
    if (fd < 0)
        return -1;
    const timeval wait{ScrapeWaitMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    static constexpr char Request[] = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    std::string answer;
    if (::send(fd, Request, sizeof Request - 1, MSG_NOSIGNAL) > 0) {
        char chunk[65536];
        for (ssize_t n; (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0;)
            answer.append(chunk, std::size_t(n));
    }
    ::close(fd);
    const bool ok =
        answer.rfind("HTTP/1.1 200", 0) == 0 && answer.find("tavo_projector_up") != std::string::npos;
    return ok ? std::chrono::duration<double, std::milli>(Clock::now() - start).count() : -1;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int idle = argc > 1 ? std::atoi(argv[1]) : DefaultIdle;
    const int scrapes = argc > 2 ? std::atoi(argv[2]) : DefaultScrapes;
    QProcess simulator;
    simulator.start(QStringLiteral(TAVO_PROJECTOR_SIM), {"--listen", "127.0.0.1:0", "--count", "1"});
    QByteArray endpoint;
    (void)QTest::qWaitFor([&] { return (endpoint += simulator.readAllStandardOutput()).endsWith('\n'); },
                          StartMs);
    QTemporaryDir dir;
    const QString fleetPath = dir.filePath("fleet");
    QFile fleet(fleetPath);
    if (!fleet.open(QIODevice::WriteOnly) || fleet.write("hall-a " + endpoint.trimmed() + "\n") < 0)
        return 1;
    fleet.close();
    QProcess console;
    console.start(QStringLiteral(TAVO_CONSOLE), {"--fleet", fleetPath, "--watch", "1", "--http", "0"});
    const QRegularExpression announced("metrics on http://127\\.0\\.0\\.1:(\\d+)/metrics");
    QByteArray err;
    quint16 port = 0;
    (void)QTest::qWaitFor(
        [&] {
            const QRegularExpressionMatch match =
                announced.match(QString::fromLatin1(err += console.readAllStandardError()));
            port = match.hasMatch() ? quint16(match.captured(1).toUInt()) : 0;
            return port != 0;
        },
        StartMs);
    if (port == 0) {
        std::fprintf(stderr, "the console did not serve: %s\n", err.constData());
        return 1;
    }
    std::atomic<bool> stop = false;
    std::atomic<long> openings = 0;
    std::thread holder(holdIdle, port, idle, std::cref(stop), std::ref(openings));
    std::this_thread::sleep_for(Settle);
    std::vector<double> times;
    int failed = 0;
    for (int i = 0; i < scrapes; ++i) {
        const double ms = scrape(port);
        if (ms < 0)
            ++failed;
        else
            times.push_back(ms);
        std::this_thread::sleep_for(ScrapePause);
    }
    std::sort(times.begin(), times.end());
    // The idle connections stay open while the console stops; their openings from then on are not counted.
    const long opened = openings;
    const auto start = Clock::now();
    console.terminate();
    const bool ended = console.waitForFinished(StopMs);
    const double stopMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    stop = true;
    holder.join();
    std::printf("%d idle connections from 127.0.0.1 (%ld openings): %d scrapes from 127.0.0.2, %d failed, "
                "median %.2f ms, max %.2f ms\n",
                idle, opened, scrapes, failed, times.empty() ? 0 : times[times.size() / 2],
                times.empty() ? 0 : times.back());
    std::printf("SIGTERM to exit: %.1f ms%s\n", stopMs, ended ? "" : " (not ended)");
    simulator.terminate();
    simulator.waitForFinished(StopMs);
    return failed == 0 && ended ? 0 : 1;
}
