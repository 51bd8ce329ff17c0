#include "qt/consoleapp.h"

#include <QCoreApplication>

using namespace std::chrono_literals;

ConsoleApp::ConsoleApp(const ConsoleOptions &options)
    : m_port(options.com1Device, options.com2Device), m_timer1(200ms), m_timer2(500ms), m_timer3(5000ms),
      m_timer4(1000ms), m_messages(&m_window),
      m_form(Platform{m_port, m_timer1, m_timer2, m_timer3, m_timer4, m_window, m_messages})
{
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
