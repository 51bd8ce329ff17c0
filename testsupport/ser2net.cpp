#include "ser2net.h"

#include "systemprogram.h"

#include <chrono>
#include <map>
#include <vector>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
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

// The loopback ports listened on, by socket inode, from the kernel's table rather than by connecting:
// ser2net refuses a client that comes while it is still ending a session with the one before.
std::map<QByteArray, std::uint16_t> listeningPorts()
{
    constexpr char Listen[] = "0A";
    constexpr char Loopback[] = "0100007F";
    std::map<QByteArray, std::uint16_t> ports;
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return ports;
    for (const QByteArray &row : table.readAll().split('\n')) {
        const QList<QByteArray> fields = row.simplified().split(' ');
        constexpr int InodeField = 9;
        if (fields.size() <= InodeField || fields[3] != Listen)
            continue;
        const QList<QByteArray> local = fields[1].split(':');
        if (local.size() == 2 && local[0] == Loopback)
            ports[fields[InodeField]] = std::uint16_t(local[1].toUInt(nullptr, 16));
    }
    return ports;
}

// The socket inodes a process holds, in the order of its descriptors.
std::vector<QByteArray> socketInodes(qint64 pid)
{
    std::map<int, QByteArray> byDescriptor;
    const QDir descriptors(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString &entry : descriptors.entryList(QDir::Files | QDir::System)) {
        const QString target = QFile::symLinkTarget(descriptors.filePath(entry));
        static const QRegularExpression socket(QStringLiteral("socket:\\[(\\d+)\\]$"));
        if (const QRegularExpressionMatch match = socket.match(target); match.hasMatch())
            byDescriptor[entry.toInt()] = match.captured(1).toLatin1();
    }
    std::vector<QByteArray> inodes;
    for (const auto &[descriptor, inode] : byDescriptor)
        inodes.push_back(inode);
    return inodes;
}
} // namespace

QString Ser2net::program()
{
    return systemProgram(QStringLiteral("ser2net"));
}

Ser2net::Ser2net(const std::string &device, bool kickOldUser) : m_device(device), m_kickOldUser(kickOldUser)
{
}

Ser2net::~Ser2net()
{
    stop();
}

bool Ser2net::start()
{
    stop();
    // Port 0 the first time: the kernel picks a free one as ser2net binds it.
    QFile config(m_dir.filePath(QStringLiteral("ser2net.yaml")));
    config.open(QIODevice::WriteOnly | QIODevice::Truncate);
    config.write(connection("rfc2217", QStringLiteral("telnet(rfc2217),tcp,127.0.0.1,%1").arg(m_rfc2217Port),
                            m_device, m_kickOldUser));
    config.write(
        connection("tcp", QStringLiteral("tcp,127.0.0.1,%1").arg(m_tcpPort), m_device, m_kickOldUser));
    config.close();
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
        if (learnPorts())
            return true;
    }
    return false;
}

bool Ser2net::learnPorts()
{
    const std::map<QByteArray, std::uint16_t> listening = listeningPorts();
    std::vector<std::uint16_t> ports;
    for (const QByteArray &inode : socketInodes(m_process->processId())) {
        if (auto found = listening.find(inode); found != listening.end())
            ports.push_back(found->second);
    }
    // ser2net binds its accepters in the order of its configuration: RFC 2217 first.
    if (ports.size() != 2 || (m_rfc2217Port != 0 && (ports[0] != m_rfc2217Port || ports[1] != m_tcpPort)))
        return false;
    m_rfc2217Port = ports[0];
    m_tcpPort = ports[1];
    return true;
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
