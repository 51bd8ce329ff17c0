#include "qt/window/consoleapp.h"

#include "program.h"
#include "window/controltable.h"
#include "wire/printable.h"

#include <cstdio>
#include <stdexcept>

#include <QApplication>

namespace {
// The "COM" button, which shows the port panel, and the panel's options for COM1 and COM2.
constexpr std::string_view PortButton = "Command33";
constexpr std::string_view PortOptions[] = {"Option1", "Option2"};
} // namespace

ConsoleApp::ConsoleApp(const PortsAsked &ports, TrafficLog *log)
    : m_endpoints(ports), m_port(m_endpoints.endpoint(1), m_endpoints.endpoint(2)), m_timer1(Timer1Interval),
      m_timer2(Timer2Interval), m_timer3(Timer3Interval), m_timer4(Timer4Interval), m_messages(&m_window),
      m_form(Platform{m_port, m_timer1, m_timer2, m_timer3, m_timer4, m_window, m_messages}), m_log(log)
{
    m_port.setTrafficLog(log);
    m_port.setOnChanged([this] { showPortState(); });
    if (m_log) {
        // Seen on the log's writer thread; the box opens on the UI thread, and the window goes on.
        m_log->setOnFailure([this](const std::string &message) {
            QMetaObject::invokeMethod(
                &m_window, [this, message] { m_messages.warning(message); }, Qt::QueuedConnection);
        });
    }
    m_window.attach(m_form);
    m_window.onUnload = [] { QCoreApplication::exit(0); };
}

ConsoleApp::~ConsoleApp()
{
    // The window the port's state is shown in goes before the port.
    m_port.setOnChanged(nullptr);
    // No box is asked for once the window is gone; a failure after that goes to stderr.
    if (m_log)
        m_log->setOnFailure(nullptr);
}

bool ConsoleApp::start()
{
    m_form.setOnStarted([this](const SerialError *failure) { started(failure); });
    try {
        m_form.Form_Load();
    } catch (const SerialError &error) {
        started(&error);
    }
    m_startReturned = true;
    return !m_startFailed;
}

void ConsoleApp::started(const SerialError *failure)
{
    if (!failure) {
        m_window.show();
        return;
    }
    m_startFailed = true;
    QtMessageBox(nullptr).error(failure->number(), failure->description() + '\n' + StartupHint);
    // A server that did not answer ends the event loop that waited for it; a failure at once is start()'s
    // to say, before any loop runs.
    if (m_startReturned)
        QCoreApplication::exit(1);
}

QString ConsoleApp::portState(int port) const
{
    const bool open = m_port.PortOpen() && m_port.CommPort() == port;
    const bool serversSpeed = m_port.endpoint(port).kind == Endpoint::Kind::Tcp;
    const QString settings =
        serversSpeed ? QStringLiteral("the server's own speed") : QString::fromStdString(m_port.settings());
    QString state = QStringLiteral("COM%1: %2").arg(port).arg(QString::fromStdString(m_port.shownName(port)));
    if (!simulators().empty())
        state += QStringLiteral(", simulated projector");
    if (open && m_port.connecting())
        state += QStringLiteral("\nconnecting, %1").arg(settings);
    else
        state += open ? QStringLiteral("\nopen, %1").arg(settings)
                      : QStringLiteral("\nclosed; opens at %1").arg(settings);
    if (m_log)
        state += QStringLiteral("\ntraffic log: %1").arg(QString::fromStdString(m_log->name()));
    return state;
}

void ConsoleApp::showPortState()
{
    const QString com1 = portState(1);
    const QString com2 = portState(2);
    m_window.control(PortOptions[0])->setToolTip(com1);
    m_window.control(PortOptions[1])->setToolTip(com2);
    m_window.control(PortButton)->setToolTip(com1 + QStringLiteral("\n\n") + com2);
    // The window takes clicks while a server is being reached; the cursor says it is still at work.
    if (m_port.connecting())
        m_window.setCursor(Qt::BusyCursor);
    else
        m_window.unsetCursor();
}

int runWindow(int argc, char *argv[], const PortsAsked &ports, TrafficLog *log)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavo-console"));
    QApplication::setApplicationVersion(QStringLiteral(TAVO_VERSION));
    std::unique_ptr<ConsoleApp> consoleApp;
    try {
        consoleApp = std::make_unique<ConsoleApp>(ports, log);
    } catch (const std::runtime_error &error) {
        std::fprintf(stderr, "tavo-console: %s\n", printable(error.what()).c_str());
        return 1;
    }
    ConsoleApp &console = *consoleApp;
    if (!console.simulators().empty())
        std::fprintf(stderr, "tavo-console: simulated projectors: COM1 on %s, COM2 on %s\n",
                     console.simulators()[0]->slavePath().c_str(),
                     console.simulators()[1]->slavePath().c_str());
    if (!console.start())
        return 1;
    return QApplication::exec();
}
