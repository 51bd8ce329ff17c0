#include "qt/window/consoleapp.h"

#include "console/controltable.h"

#include <QCoreApplication>

namespace {
constexpr int SimulatedPorts = 2;
} // namespace

std::vector<std::unique_ptr<SimulatedProjector>> ConsoleApp::makeSimulators(const ConsoleOptions &options)
{
    std::vector<std::unique_ptr<SimulatedProjector>> simulators;
    for (int port = 0; options.simulate && port < SimulatedPorts; ++port)
        simulators.push_back(std::make_unique<SimulatedProjector>());
    return simulators;
}

Endpoint ConsoleApp::endpoint(const ConsoleOptions &options, int port) const
{
    if (!m_simulators.empty())
        return parseEndpoint(m_simulators[std::size_t(port - 1)]->slavePath());
    return port == 1 ? options.com1 : options.com2;
}

ConsoleApp::ConsoleApp(const ConsoleOptions &options, TrafficLog *log)
    : m_simulators(makeSimulators(options)), m_port(endpoint(options, 1), endpoint(options, 2)),
      m_timer1(Timer1Interval), m_timer2(Timer2Interval), m_timer3(Timer3Interval), m_timer4(Timer4Interval),
      m_messages(&m_window),
      m_form(Platform{m_port, m_timer1, m_timer2, m_timer3, m_timer4, m_window, m_messages})
{
    m_port.setTrafficLog(log);
    m_window.attach(m_form);
    m_window.onUnload = [] { QCoreApplication::exit(0); };
}

bool ConsoleApp::start()
{
    try {
        m_form.Form_Load();
    } catch (const SerialError &error) {
        QtMessageBox(nullptr).error(error.number(), error.description());
        return false;
    }
    m_window.show();
    return true;
}
