#pragma once

#include "link/serialport.h"
#include "ptyline.h"
#include "windowconsole.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

using Clock = std::chrono::steady_clock;

// The port the console drives, counting every command it hands to the line.
class CountingPort : public SerialPort
{
public:
    explicit CountingPort(SerialPort &inner) : m_inner(inner)
    {
        m_inner.setOnComm([this] {
            const auto start = Clock::now();
            raiseOnComm();
            worstArrivalMs = std::max(
                worstArrivalMs, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        });
        m_inner.setOnLost([this](const SerialError &error) { raiseLost(error); });
    }
    void setCommPort(int port) override { m_inner.setCommPort(port); }
    int CommPort() const override { return m_inner.CommPort(); }
    void setSettings(const std::string &settings) override { m_inner.setSettings(settings); }
    bool PortOpen() const override { return m_inner.PortOpen(); }
    void setPortOpen(bool open) override { m_inner.setPortOpen(open); }
    void Output(const std::string &bytes) override
    {
        m_inner.Output(bytes);
        ++sends;
    }
    // How long the console took over each arrival, worst so far.
    double worstArrivalMs = 0;
    std::string Input() override { return m_inner.Input(); }
    int CommEvent() const override { return m_inner.CommEvent(); }
    std::string portName() const override { return m_inner.portName(); }

    int sends = 0;

private:
    SerialPort &m_inner;
};

// The far end of the line: splits what arrives into commands and notes when each one completed.
struct LineWatcher
{
    explicit LineWatcher(const Pty &pty) : notifier(pty.masterFd(), QSocketNotifier::Read)
    {
        QObject::connect(&notifier, &QSocketNotifier::activated, [this, fd = pty.masterFd()] {
            char chunk[4096];
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            for (ssize_t i = 0; i < n; ++i) {
                if (chunk[i] != '\r') {
                    pending.push_back(chunk[i]);
                    continue;
                }
                commands.push_back(pending);
                arrivals.push_back(Clock::now());
                pending.clear();
            }
        });
    }
    void clear()
    {
        commands.clear();
        arrivals.clear();
        pending.clear();
    }

    QSocketNotifier notifier;
    std::string pending;
    std::vector<std::string> commands;
    std::vector<Clock::time_point> arrivals;
    std::size_t answered = 0;
};

// The real console on a pseudo-terminal, its port counting what it sends.
struct PtyConsole : PtyLine
{
    CountingPort port{serial};
    WindowConsole console{port};
};

inline void mouse(QWidget *button, QEvent::Type type)
{
    const QPointF inside(5, 5);
    QMouseEvent event(type, inside, button->mapToGlobal(inside), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &event);
}

inline void runFor(std::chrono::milliseconds span)
{
    QEventLoop loop;
    QTimer::singleShot(span, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Holds a button for the span and reports the spacing and the integrity of what reached the line; gives
// the commands on the line per second held.
inline double hold(WindowConsole &console, CountingPort &port, LineWatcher &line, const char *control,
                   const char *code, std::chrono::milliseconds span, double nominalMs)
{
    QWidget *button = console.window.control(control);
    runFor(std::chrono::milliseconds(300));
    line.clear();
    port.sends = 0;
    // The rate is taken over the time really held: the event loop may run past the span.
    const Clock::time_point pressedAt = Clock::now();
    mouse(button, QEvent::MouseButtonPress);
    runFor(span);
    mouse(button, QEvent::MouseButtonRelease);
    const double seconds = std::chrono::duration<double>(Clock::now() - pressedAt).count();
    runFor(std::chrono::milliseconds(200));
    double worst = 0;
    for (std::size_t i = 1; i < line.arrivals.size(); ++i)
        worst = std::max(
            worst,
            std::chrono::duration<double, std::milli>(line.arrivals[i] - line.arrivals[i - 1]).count());
    const double mean =
        line.arrivals.size() > 1
            ? std::chrono::duration<double, std::milli>(line.arrivals.back() - line.arrivals.front())
                      .count() /
                  double(line.arrivals.size() - 1)
            : 0;
    const auto whole = std::count(line.commands.begin(), line.commands.end(), std::string(code));
    std::printf("%-10s nominal %6.1f ms: %5zu on the line in %.2f s (%6.1f/s), mean %7.2f ms (%+5.1f%%), "
                "worst %7.2f ms,"
                " sends %d, lost %lld, merged or cut %lld\n",
                control, nominalMs, line.commands.size(), seconds, double(line.commands.size()) / seconds,
                mean, 100 * (mean - nominalMs) / nominalMs, worst, port.sends,
                static_cast<long long>(port.sends) - static_cast<long long>(line.commands.size()),
                static_cast<long long>(line.commands.size()) - static_cast<long long>(whole));
    return double(line.commands.size()) / seconds;
}
