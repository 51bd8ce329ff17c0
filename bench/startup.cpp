// Start-up to a mapped window: the console beside a bare Qt 6 window with five buttons, each started in
// turn (interleaved) in one Xvfb of our own, timed from the spawn to the X server's MapNotify of its first
// top-level window, then ended. Prints for each the median and least time, and the median CPU time and
// run-queue wait up to the map.
// Needs Xvfb (apt-get install xvfb). Usage: bench_startup [runs [another-tavo-console ...]]; each other
// console (an older build, say) is started on the same pseudo-terminal, interleaved with the rest.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>
#include <xcb/xcb.h>

extern char **environ;

namespace {
using Clock = std::chrono::steady_clock;
constexpr int DefaultRuns = 15;
constexpr int MapTimeoutMs = 10000;
// Lets the X server and the machine settle between two starts.
constexpr auto SettleTime = std::chrono::milliseconds(150);

struct Program
{
    std::string name;
    std::vector<std::string> arguments;
    std::vector<double> startMs;
    // Up to the map, over all its threads: time on a CPU, and time ready but waiting for one (which on a
    // busy machine says how much of startMs is the machine's, not the program's).
    std::vector<double> cpuMs;
    std::vector<double> queuedMs;
};

Program program(std::string name, std::vector<std::string> arguments)
{
    Program result;
    result.name = std::move(name);
    result.arguments = std::move(arguments);
    return result;
}

// CPU time and run-queue wait so far of every thread of pid, in ms, from /proc/PID/task/*/schedstat.
std::pair<double, double> schedulerTimes(pid_t pid)
{
    double cpuNs = 0, queuedNs = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR *dir = opendir(tasks.c_str())) {
        while (const dirent *task = readdir(dir)) {
            if (task->d_name[0] == '.')
                continue;
            if (FILE *file = std::fopen((tasks + "/" + task->d_name + "/schedstat").c_str(), "r")) {
                double onCpu = 0, waiting = 0;
                if (std::fscanf(file, "%lf %lf", &onCpu, &waiting) == 2) {
                    cpuNs += onCpu;
                    queuedNs += waiting;
                }
                std::fclose(file);
            }
        }
        closedir(dir);
    }
    return {cpuNs / 1e6, queuedNs / 1e6};
}

pid_t spawn(const std::vector<std::string> &arguments, bool quiet)
{
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Xvfb on the first free display, which it names on a pipe.
pid_t startXvfb(std::string &display)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    const pid_t pid = spawn({"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp"},
                            true);
    close(pipeFds[1]);
    char number[16] = {};
    const ssize_t got = pid > 0 ? read(pipeFds[0], number, sizeof number - 1) : -1;
    close(pipeFds[0]);
    if (got <= 0)
        return -1;
    display = ":" + std::to_string(std::atoi(number));
    return pid;
}

// The time from the spawn to the first top-level window mapped, or a negative number when none came.
double timeToMap(xcb_connection_t *connection, Program &program)
{
    const auto start = Clock::now();
    const pid_t pid = spawn(program.arguments, true);
    if (pid < 0)
        return -1;
    double elapsedMs = -1;
    pollfd xFd{xcb_get_file_descriptor(connection), POLLIN, 0};
    while (elapsedMs < 0 && poll(&xFd, 1, MapTimeoutMs) > 0) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && elapsedMs < 0) {
                elapsedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                const auto [cpuMs, queuedMs] = schedulerTimes(pid);
                program.cpuMs.push_back(cpuMs);
                program.queuedMs.push_back(queuedMs);
            }
            std::free(event);
        }
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return elapsedMs;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}
} // namespace

int main(int argc, char *argv[])
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : DefaultRuns;
    std::string display;
    const pid_t xvfb = startXvfb(display);
    if (xvfb < 0) {
        std::fprintf(stderr, "bench_startup: cannot start Xvfb (apt-get install xvfb)\n");
        return 1;
    }
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("WAYLAND_DISPLAY");
    xcb_connection_t *connection = xcb_connect(display.c_str(), nullptr);
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);

    // The console's own simulator on a pseudo-terminal, for the console started on a device.
    int simPipe[2];
    pipe(simPipe);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, simPipe[1], STDOUT_FILENO);
    const char *simArgs[] = {TAVO_PROJECTOR_SIM, nullptr};
    pid_t simulator = -1;
    posix_spawn(&simulator, TAVO_PROJECTOR_SIM, &actions, nullptr, const_cast<char **>(simArgs), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(simPipe[1]);
    char device[64] = {};
    const ssize_t got = read(simPipe[0], device, sizeof device - 1);
    close(simPipe[0]);
    const std::string pty = got > 0 ? std::string(device, std::strcspn(device, "\n")) : "";

    std::vector<Program> programs{program("bare Qt window, 5 buttons", {BARE_WINDOW}),
                                  program("tavo-console --com1 PTY", {TAVO_CONSOLE, "--com1", pty}),
                                  program("tavo-console --simulate", {TAVO_CONSOLE, "--simulate"})};
    for (int other = 2; other < argc; ++other)
        programs.push_back(program(std::string(argv[other]) + " --com1 PTY", {argv[other], "--com1", pty}));
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        for (Program &program : programs) {
            const double ms = timeToMap(connection, program);
            if (ms < 0)
                ++failures;
            else
                program.startMs.push_back(ms);
            usleep(std::chrono::duration_cast<std::chrono::microseconds>(SettleTime).count());
        }
    }
    kill(simulator, SIGTERM);
    waitpid(simulator, nullptr, 0);
    xcb_disconnect(connection);
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);

    std::printf("%d interleaved runs under Xvfb, spawn to MapNotify\n", runs);
    std::printf("%-44s %10s %10s %12s %12s %8s %8s\n", "program", "median ms", "least ms", "CPU to map",
                "queued", "ratio", "CPU ratio");
    const double bare = programs[0].startMs.empty() ? 0 : median(programs[0].startMs);
    const double bareCpu = programs[0].cpuMs.empty() ? 0 : median(programs[0].cpuMs);
    for (const Program &program : programs) {
        if (program.startMs.empty())
            continue;
        const double startMs = median(program.startMs);
        const double cpuMs = median(program.cpuMs);
        std::printf("%-44s %10.1f %10.1f %9.1f ms %9.1f ms %7.2fx %7.2fx\n", program.name.c_str(), startMs,
                    *std::min_element(program.startMs.begin(), program.startMs.end()), cpuMs,
                    median(program.queuedMs), bare > 0 ? startMs / bare : 0.0,
                    bareCpu > 0 ? cpuMs / bareCpu : 0.0);
    }
    if (failures > 0)
        std::printf("%d starts mapped no window within %d ms\n", failures, MapTimeoutMs);
    return failures > 0 ? 1 : 0;
}
