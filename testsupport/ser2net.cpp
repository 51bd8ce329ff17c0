#include "ser2net.h"

#include "loopbacklistener.h"
#include "systemprogram.h"

#include <chrono>

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

namespace {
constexpr std::chrono::milliseconds StartWait{5000};
constexpr std::chrono::milliseconds ProbeGap{20};

// One connection per accepter. No mDNS, no UUCP lock directory, no root.
QByteArray connection(const char *name, const QString &accepter, const std::string &device, bool kickOldUser)
{
    return QStringLiteral("connection: &%1\n"
                          "  accepter: %2\n"
                          "  connector: serialdev,%3,%4n81,local\n"
                          "  options:\n"
                          "    kickolduser: %5\n"
                          "    mdns: false\n")
        .arg(QLatin1String(name), accepter, QString::fromStdString(device))
        .arg(Ser2net::ConfiguredBaud)
        .arg(kickOldUser ? QStringLiteral("true") : QStringLiteral("false"))
        .toUtf8();
}

} // namespace

QString Ser2net::program()
{
    return systemProgram(QStringLiteral("ser2net"));
}

Ser2net::Ser2net(const std::string &device, bool kickOldUser)
    : m_rfc2217Port(freeLoopbackPort()), m_tcpPort(freeLoopbackPort())
{
    QFile config(m_dir.filePath(QStringLiteral("ser2net.yaml")));
    config.open(QIODevice::WriteOnly);
    config.write(connection("rfc2217", QStringLiteral("telnet(rfc2217),tcp,127.0.0.1,%1").arg(m_rfc2217Port),
                            device, kickOldUser));
    config.write(connection("tcp", QStringLiteral("tcp,127.0.0.1,%1").arg(m_tcpPort), device, kickOldUser));
}

Ser2net::~Ser2net()
{
    stop();
}

bool Ser2net::start()
{
    stop();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(program(), {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-P"),
                                 m_dir.filePath(QStringLiteral("ser2net.pid")), QStringLiteral("-c"),
                                 m_dir.filePath(QStringLiteral("ser2net.yaml"))});
    if (!m_process->waitForStarted(int(StartWait.count())))
        return false;
    for (QDeadlineTimer deadline(StartWait); !deadline.hasExpired(); QThread::msleep(ProbeGap.count())) {
        if (m_process->state() != QProcess::Running)
            return false;
        if (loopbackListening(m_rfc2217Port) && loopbackListening(m_tcpPort))
            return true;
    }
    return false;
}

void Ser2net::stop()
{
    if (m_process)
        stopProgram(*m_process);
}

QString Ser2net::output() const
{
    return m_process ? QString::fromLocal8Bit(m_process->readAll()) : QString();
}
