// Hostile peers against the real console (command-line mode and window, each a child process) and the
// simulator: how far each process grows above its idle size and how much CPU it takes while the peer
// keeps at it; then a held 5 ms arrow over RFC 2217 through ser2net with the traffic log on.
// Usage: bench_hostilepeers [seconds]
#include "benchline.h"
#include "link/trafficlog.h"
#include "loopbacklistener.h"
#include "qt/links/logfile.h"
#include "ser2net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>

#include <QApplication>
#include <QTemporaryDir>

extern char **environ;

namespace {
constexpr std::chrono::seconds DefaultRun{10};
constexpr long KiBPerMiB = 1024;
constexpr long GoalMiB = 64;
constexpr double HoldNominalMs = 5;
constexpr double HoldGoalPerSecond = 200;
// Long enough for the window to finish starting, so that its idle size is not taken halfway.
constexpr std::chrono::milliseconds IdleSettle{1000};
constexpr std::chrono::milliseconds ConnectWait{5000};
constexpr std::chrono::milliseconds EndWait{5000};
constexpr std::chrono::milliseconds PollStep{10};
constexpr std::chrono::milliseconds ReplyWait{5000};
// What a peer offers the kernel at once.
constexpr std::size_t ChunkBytes = 64 * 1024;
// What of a child's output a note shows.
constexpr std::size_t NoteChars = 100;

constexpr char Iac = '\xff';
constexpr char Will = '\xfb';
constexpr char Wont = '\xfc';
constexpr char BinaryOption = '\x00';
constexpr char StatusOption = '\x05';

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double rusageCpuSeconds(const rusage &usage)
{
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Usage
{
    long hwmKiB = 0;
    long rssKiB = 0;
    double cpuSeconds = 0;
};

// VmHWM and VmRSS from /proc/PID/status, utime+stime from /proc/PID/stat; false once the process has
// ended (a process that has ended keeps no memory figures).
bool readUsage(pid_t pid, Usage &usage)
{
    const std::string dir = "/proc/" + std::to_string(pid);
    std::ifstream status(dir + "/status");
    Usage read;
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            read.hwmKiB = std::atol(line.c_str() + 6);
        else if (line.rfind("VmRSS:", 0) == 0)
            read.rssKiB = std::atol(line.c_str() + 6);
    }
    std::ifstream statFile(dir + "/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    const std::size_t nameEnd = stat.rfind(')');
    if (read.hwmKiB == 0 || nameEnd == std::string::npos)
        return false;
    // After the name: state is the first field, utime the 12th and stime the 13th.
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string field;
    long ticks = 0;
    for (int i = 1; i <= 13 && fields >> field; ++i)
        if (i >= 12)
            ticks += std::atol(field.c_str());
    read.cpuSeconds = double(ticks) / double(::sysconf(_SC_CLK_TCK));
    usage = read;
    return true;
}

// The last line a child wrote to the file: its final word, shortened to its end.
std::string lastLine(const std::string &path)
{
    std::ifstream file(path);
    std::string last;
    for (std::string line; std::getline(file, line);)
        last = line;
    return last.size() > NoteChars ? "..." + last.substr(last.size() - NoteChars) : last;
}

// A program run as a child, its stdout to a pipe or a file and its stderr to a file; ended at the end.
class Child
{
public:
    Child(const std::vector<std::string> &arguments, const std::vector<std::string> &extraEnvironment,
          const std::string &outPath, const std::string &errPath, int outFd = -1)
    {
        std::vector<std::string> all = arguments;
        std::vector<char *> argv;
        for (std::string &argument : all)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        std::vector<std::string> environment = extraEnvironment;
        for (char **entry = environ; *entry; ++entry)
            environment.emplace_back(*entry);
        std::vector<char *> envp;
        for (std::string &entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (outFd >= 0)
            posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
        else
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        m_started = Clock::now();
    }
    ~Child() { end(); }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    pid_t pid() const { return m_pid; }
    bool running()
    {
        if (m_pid < 0 || m_ended)
            return false;
        if (::wait4(m_pid, &m_status, WNOHANG, &m_usage) == m_pid)
            noteEnded();
        return !m_ended;
    }
    // SIGTERM, then SIGKILL when it has not ended within EndWait.
    void end()
    {
        if (!running())
            return;
        ::kill(m_pid, SIGTERM);
        for (const auto deadline = Clock::now() + EndWait; running() && Clock::now() < deadline;)
            std::this_thread::sleep_for(PollStep);
        if (!running())
            return;
        ::kill(m_pid, SIGKILL);
        if (::wait4(m_pid, &m_status, 0, &m_usage) == m_pid)
            noteEnded();
    }
    bool endedByItself() const { return m_ended && !m_killed; }
    // How it ended by itself: its exit code, or the signal.
    std::string howEnded() const
    {
        return WIFEXITED(m_status) ? "exit " + std::to_string(WEXITSTATUS(m_status))
                                   : "signal " + std::to_string(WTERMSIG(m_status));
    }
    double lifeSeconds() const { return std::chrono::duration<double>(m_endedAt - m_started).count(); }
    Clock::time_point endedAt() const { return m_endedAt; }
    // Its whole life's peak and CPU, once it has ended.
    long maxRssKiB() const { return m_usage.ru_maxrss; }
    double cpuSeconds() const { return rusageCpuSeconds(m_usage); }
    // From here on an end is ours, not its own.
    void markEndingByUs() { m_killed = true; }

private:
    void noteEnded()
    {
        m_ended = true;
        m_endedAt = Clock::now();
    }

    pid_t m_pid = -1;
    int m_status = 0;
    rusage m_usage{};
    bool m_ended = false;
    bool m_killed = false;
    Clock::time_point m_started;
    Clock::time_point m_endedAt;
};

// A socket that closes itself.
struct Socket
{
    explicit Socket(int descriptor = -1) : fd(descriptor) {}
    ~Socket()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    int fd;
};

// Waits for the descriptor to be ready for events, at most wait; the events that came.
short waitFor(int fd, short events, std::chrono::milliseconds wait)
{
    pollfd one{fd, events, 0};
    return ::poll(&one, 1, int(wait.count())) > 0 ? one.revents : 0;
}

int connectLoopback(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopbackAddress(port);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Row
{
    std::string peer;
    std::string target;
    long idleKiB = 0;
    long peakKiB = 0;
    double cpuShare = 0;
    std::string notes;
};

// What a peer that never reads saw of its flood.
struct Flood
{
    double sentMiB = 0;
    // Seconds into the flood when the other end, still running, closed the connection; negative when it
    // never did.
    double droppedAfter = -1;
};

// Writes the pattern over and over for the span, as fast as the kernel takes it, never reading; stops
// early when the child ends.
Flood flood(int fd, const std::string &pattern, std::chrono::seconds span, Child &child)
{
    std::string buffer;
    while (buffer.size() < ChunkBytes + pattern.size())
        buffer += pattern;
    std::size_t offset = 0;
    std::size_t sent = 0;
    Flood result;
    const Clock::time_point start = Clock::now();
    for (const auto deadline = start + span; Clock::now() < deadline && child.running();) {
        if (result.droppedAfter >= 0) {
            std::this_thread::sleep_for(PollStep);
            continue;
        }
        const short events = waitFor(fd, POLLOUT, PollStep);
        if (!(events & (POLLOUT | POLLERR | POLLHUP)))
            continue;
        const ssize_t n = ::send(fd, buffer.data() + offset, ChunkBytes, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += std::size_t(n);
            offset = (offset + std::size_t(n)) % pattern.size();
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && child.running()) {
            result.droppedAfter = secondsSince(start);
        }
    }
    result.sentMiB = double(sent) / double(KiBPerMiB * KiBPerMiB);
    return result;
}

std::string floodNote(const Flood &sent)
{
    char note[96];
    std::snprintf(note, sizeof note, "peer sent %.1f MiB", sent.sentMiB);
    std::string text = note;
    if (sent.droppedAfter >= 0) {
        std::snprintf(note, sizeof note, "; the other end closed after %.1f s", sent.droppedAfter);
        text += note;
    }
    return text;
}

// The child's idle size, taken once it has settled.
Usage settle(Child &child)
{
    std::this_thread::sleep_for(IdleSettle);
    Usage idle;
    readUsage(child.pid(), idle);
    return idle;
}

// The peak and the CPU share since idle, read just before the child is ended (or from its whole life
// when it ended by itself), then the child ended.
void finish(Child &child, const Usage &idle, Clock::time_point idleAt, Row &row)
{
    Usage last;
    const bool alive = child.running() && readUsage(child.pid(), last);
    const Clock::time_point lastAt = Clock::now();
    child.markEndingByUs();
    if (alive) {
        child.end();
        row.peakKiB = last.hwmKiB;
        row.cpuShare =
            (last.cpuSeconds - idle.cpuSeconds) / std::chrono::duration<double>(lastAt - idleAt).count();
        return;
    }
    row.peakKiB = child.maxRssKiB();
    row.cpuShare = (child.cpuSeconds() - idle.cpuSeconds) /
                   std::chrono::duration<double>(child.endedAt() - idleAt).count();
}

struct Peer
{
    const char *name;
    const char *scheme;
    std::string pattern;
};

enum class Target { CommandLine, Window };

// base names the files the child's stdout and stderr go to.
Row floodConsole(const Peer &peer, Target target, std::chrono::seconds run, const std::string &base)
{
    Row row{peer.name, target == Target::CommandLine ? "command line" : "window", 0, 0, 0, ""};
    Socket listener(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address = loopbackAddress(0);
    socklen_t length = sizeof address;
    if (::bind(listener.fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::getsockname(listener.fd, reinterpret_cast<sockaddr *>(&address), &length) != 0 ||
        ::listen(listener.fd, 1) != 0) {
        row.notes = "no loopback port";
        return row;
    }
    const std::string endpoint =
        std::string(peer.scheme) + "://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    std::vector<std::string> arguments{TAVO_CONSOLE, "--com1", endpoint};
    std::vector<std::string> environment;
    if (target == Target::CommandLine) {
        // The reply's deadline covers the settling and the whole flood, so the run stays connected.
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(IdleSettle + run);
        arguments.insert(arguments.end(), {"--send", "CR0", "--wait", std::to_string(wait.count())});
    } else {
        environment.emplace_back("QT_QPA_PLATFORM=offscreen");
    }
    Child child(arguments, environment, base + ".stdout", base + ".stderr");
    if (!(waitFor(listener.fd, POLLIN, ConnectWait) & POLLIN)) {
        row.notes = "never connected: " + lastLine(base + ".stderr");
        return row;
    }
    Socket connection(::accept(listener.fd, nullptr, nullptr));
    const Usage idle = settle(child);
    const Clock::time_point idleAt = Clock::now();
    row.idleKiB = idle.rssKiB;
    // The command-line run is left to end by itself, its output written, once its wait has run out.
    const Flood sent = flood(
        connection.fd, peer.pattern,
        target == Target::CommandLine ? run + std::chrono::duration_cast<std::chrono::seconds>(EndWait) : run,
        child);
    const bool endedEarly = !child.running();
    finish(child, idle, idleAt, row);
    row.notes = floodNote(sent);
    if (endedEarly) {
        char ended[64];
        std::snprintf(ended, sizeof ended, "; %s after %.1f s", child.howEnded().c_str(),
                      child.lifeSeconds());
        row.notes += ended;
    }
    // The window's stderr holds only the platform's remarks; what the window tells, it tells in a box.
    if (target == Target::CommandLine) {
        for (const char *stream : {"stderr", "stdout"}) {
            const std::string said = lastLine(base + "." + stream);
            if (!said.empty())
                row.notes += std::string("; ") + stream + ": " + said;
        }
    }
    return row;
}

// A client sends "CR9" without end and never reads; then a second client asks "CR0" and times the reply.
Row floodSimulator(std::chrono::seconds run, const QTemporaryDir &dir)
{
    Row row{"CR9 CR without end, never read", "simulator", 0, 0, 0, ""};
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        row.notes = "no pipe";
        return row;
    }
    Socket output(pipeEnds[0]);
    const std::string err = dir.filePath(QStringLiteral("sim.err")).toStdString();
    Child child({TAVO_PROJECTOR_SIM, "--listen", "127.0.0.1:0"}, {}, "", err, pipeEnds[1]);
    ::close(pipeEnds[1]);
    std::string said;
    for (const auto deadline = Clock::now() + ConnectWait;
         said.find('\n') == std::string::npos && Clock::now() < deadline;) {
        if (!(waitFor(output.fd, POLLIN, PollStep) & (POLLIN | POLLHUP)))
            continue;
        char chunk[256];
        const ssize_t n = ::read(output.fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        said.append(chunk, std::size_t(n));
    }
    const std::size_t colon = said.rfind(':');
    const auto port = std::uint16_t(colon == std::string::npos ? 0 : std::atoi(said.c_str() + colon + 1));
    Socket flooder(port ? connectLoopback(port) : -1);
    if (flooder.fd < 0) {
        row.notes = "no endpoint: " + lastLine(err);
        return row;
    }
    const Usage idle = settle(child);
    const Clock::time_point idleAt = Clock::now();
    row.idleKiB = idle.rssKiB;
    const Flood sent = flood(flooder.fd, "CR9\r", run, child);

    Socket asker(connectLoopback(port));
    const Clock::time_point asked = Clock::now();
    std::string reply;
    if (asker.fd >= 0 && ::send(asker.fd, "CR0\r", 4, MSG_NOSIGNAL) == 4) {
        for (const auto deadline = asked + ReplyWait;
             reply.find("80\r") == std::string::npos && Clock::now() < deadline;) {
            if (!(waitFor(asker.fd, POLLIN, PollStep) & (POLLIN | POLLHUP)))
                continue;
            char chunk[256];
            const ssize_t n = ::recv(asker.fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            reply.append(chunk, std::size_t(n));
        }
    }
    const double replyMs = std::chrono::duration<double, std::milli>(Clock::now() - asked).count();
    finish(child, idle, idleAt, row);
    char note[96];
    if (reply.find("80\r") != std::string::npos)
        std::snprintf(note, sizeof note, "; next client got \"80\\r\" %.1f ms after it connected", replyMs);
    else
        std::snprintf(note, sizeof note, "; next client got no \"80\\r\" within %.0f ms", replyMs);
    row.notes = floodNote(sent) + note;
    return row;
}

// A held 5 ms arrow over RFC 2217 through ser2net, the traffic log on: commands on the line per second.
void holdThroughSer2net(std::chrono::seconds run, const QTemporaryDir &dir)
{
    if (Ser2net::program().isEmpty()) {
        std::printf("5 ms hold through ser2net: ser2net is not installed\n");
        return;
    }
    Pty served;
    Ser2net server(served.slavePath());
    if (!server.start()) {
        std::printf("5 ms hold through ser2net: ser2net would not start: %s\n", qPrintable(server.output()));
        return;
    }
    const std::string rfc2217 = "rfc2217://127.0.0.1:" + std::to_string(server.rfc2217Port());
    const std::string logPath = dir.filePath(QStringLiteral("traffic.log")).toStdString();
    // Before the port, whose CLOSE line it takes at the end.
    TrafficLog log(openLogFile(logPath), logPath);
    QtSerialPort serial(parseEndpoint(rfc2217), parseEndpoint("/dev/tavo-no-com2"));
    serial.setTrafficLog(&log);
    CountingPort port(serial);
    WindowConsole console(port);
    LineWatcher line(served);
    // A D.Zoom release sets the fastest arrow pace.
    mouse(console.window.control("Command48"), QEvent::MouseButtonPress);
    mouse(console.window.control("Command48"), QEvent::MouseButtonRelease);
    std::printf("\n5 ms hold over %s through ser2net, traffic log on (window in this process):\n",
                rfc2217.c_str());
    const double perSecond = hold(console, port, line, "Command8", "C3A", run, HoldNominalMs);
    std::printf("| hold | %.1f commands/s | goal %.0f commands/s | %s |\n", perSecond, HoldGoalPerSecond,
                perSecond >= HoldGoalPerSecond ? "meets" : "MISSES");
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const std::chrono::seconds run = argc > 1 ? std::chrono::seconds(std::atoi(argv[1])) : DefaultRun;
    QTemporaryDir dir;
    const Peer peers[] = {
        {"IAC WILL 5 storm, never read", "rfc2217", std::string{Iac, Will, StatusOption}},
        {"BINARY on/off, never read", "rfc2217",
         std::string{Iac, Will, BinaryOption, Iac, Wont, BinaryOption}},
        {"'A' without CR, never read", "tcp", "A"},
    };
    std::vector<Row> rows;
    for (const Peer &peer : peers)
        for (const Target target : {Target::CommandLine, Target::Window})
            rows.push_back(
                floodConsole(peer, target, run, dir.filePath(QString::number(rows.size())).toStdString()));
    rows.push_back(floodSimulator(run, dir));

    std::printf("hostile peers, %lld s each; goal: peak RSS under %ld MB above idle\n\n",
                static_cast<long long>(run.count()), GoalMiB);
    std::printf("| peer | target | idle RSS MB | peak above idle MB | CPU %% of run | goal | notes |\n");
    std::printf("| --- | --- | --- | --- | --- | --- | --- |\n");
    for (const Row &row : rows) {
        const long growth = row.peakKiB - row.idleKiB;
        std::printf("| %s | %s | %.1f | %.1f | %.1f | %s | %s |\n", row.peer.c_str(), row.target.c_str(),
                    double(row.idleKiB) / double(KiBPerMiB), double(growth) / double(KiBPerMiB),
                    100 * row.cpuShare, row.idleKiB > 0 && growth < GoalMiB * KiBPerMiB ? "meets" : "MISSES",
                    row.notes.c_str());
    }
    holdThroughSer2net(run, dir);
    return 0;
}
