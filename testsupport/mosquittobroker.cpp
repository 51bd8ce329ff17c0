#include "mosquittobroker.h"

#include "loopbacklistener.h"
#include "systemprogram.h"

#include <chrono>
#include <pwd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

namespace {
constexpr std::chrono::milliseconds StartWait{5000};
constexpr std::chrono::milliseconds ProbeGap{20};
// mosquitto_sub: whether retained, the topic, the payload; one message a line.
const QString WatchFormat = QStringLiteral("%r %t %p");
const QString ReadyTopic = QStringLiteral("test/broker-watch/ready");
} // namespace

QString MosquittoBroker::program()
{
    return systemProgram(QStringLiteral("mosquitto"));
}

MosquittoBroker::MosquittoBroker() : m_port(freeLoopbackPort()) {}

MosquittoBroker::~MosquittoBroker()
{
    stop();
}

void MosquittoBroker::requirePassword(const QString &user, const QString &password)
{
    m_passwordFile = m_dir.filePath(QStringLiteral("passwords"));
    QFile(m_passwordFile).open(QIODevice::WriteOnly);
    QProcess::execute(QStringLiteral("mosquitto_passwd"),
                      {QStringLiteral("-b"), m_passwordFile, user, password});
}

void MosquittoBroker::useTls(const QString &certificate, const QString &key)
{
    m_certificate = certificate;
    m_key = key;
}

bool MosquittoBroker::start()
{
    stop();
    QFile config(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    config.open(QIODevice::WriteOnly | QIODevice::Truncate);
    // Run as root, it would change to its own user, who cannot read the test's folder.
    const passwd *user = ::getpwuid(::getuid());
    QString text = QStringLiteral("listener %1 127.0.0.1\npersistence false\nuser %2\n")
                       .arg(m_port)
                       .arg(QString::fromLocal8Bit(user ? user->pw_name : "root"));
    if (m_passwordFile.isEmpty())
        text += QStringLiteral("allow_anonymous true\n");
    else
        text += QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(m_passwordFile);
    if (!m_certificate.isEmpty())
        text += QStringLiteral("certfile %1\nkeyfile %2\n").arg(m_certificate, m_key);
    config.write(text.toUtf8());
    config.close();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(program(), {QStringLiteral("-c"), config.fileName()});
    if (!m_process->waitForStarted(int(StartWait.count())))
        return false;
    for (QDeadlineTimer deadline(StartWait); !deadline.hasExpired(); QThread::msleep(ProbeGap.count())) {
        if (m_process->state() != QProcess::Running)
            return false;
        if (loopbackListening(m_port))
            return true;
    }
    return false;
}

void MosquittoBroker::stop(bool kill)
{
    if (m_process)
        stopProgram(*m_process, kill);
}

QString MosquittoBroker::output() const
{
    return m_process ? QString::fromLocal8Bit(m_process->readAll()) : QString();
}

BrokerWatch::BrokerWatch(std::uint16_t port, const QStringList &topics, const QStringList &extra)
{
    QStringList arguments{QStringLiteral("-h"),  QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                          QString::number(port), QStringLiteral("-F"),        WatchFormat};
    for (const QString &topic : topics)
        arguments << QStringLiteral("-t") << topic;
    m_process.start(QStringLiteral("mosquitto_sub"), arguments + extra + QStringList{"-t", ReadyTopic});
    m_process.waitForStarted();
    // Subscribed once a message of its own comes back; only then can a test miss nothing.
    for (QDeadlineTimer deadline(StartWait); !deadline.hasExpired();) {
        QProcess::execute(QStringLiteral("mosquitto_pub"),
                          QStringList{QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                      QString::number(port), QStringLiteral("-t"), ReadyTopic,
                                      QStringLiteral("-n")} +
                              extra);
        m_process.waitForReadyRead(int(ProbeGap.count()) * 5);
        read();
        if (m_ready)
            break;
    }
}

BrokerWatch::~BrokerWatch()
{
    m_process.kill();
    m_process.waitForFinished();
}

void BrokerWatch::read()
{
    m_pending += m_process.readAllStandardOutput();
    for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
        const QByteArray line = m_pending.left(end);

        m_pending.remove(0, end + 1);
        const qsizetype topicEnd = line.indexOf(' ', 2);
        Message message;
        message.retained = line.startsWith('1');
        message.topic = QString::fromUtf8(line.mid(2, topicEnd < 0 ? -1 : topicEnd - 2));
        message.payload = topicEnd < 0 ? QByteArray() : line.mid(topicEnd + 1);
        if (message.topic == ReadyTopic)
            m_ready = true;
        else
            m_messages.append(message);
    }
}

const QList<BrokerWatch::Message> &BrokerWatch::messages()
{
    QCoreApplication::processEvents();
    read();
    return m_messages;
}

QByteArray BrokerWatch::latest(const QString &topic)
{
    const QList<Message> &all = messages();
    for (auto message = all.rbegin(); message != all.rend(); ++message) {
        if (message->topic == topic)
            return message->payload;
    }
    return {};
}

bool BrokerWatch::waitFor(const QString &topic, const QByteArray &payload, int milliseconds)
{
    for (QDeadlineTimer deadline(milliseconds);; QThread::msleep(ProbeGap.count())) {
        for (const Message &message : messages()) {
            if (message.topic == topic && message.payload == payload)
                return true;
        }
        if (deadline.hasExpired())
            return false;
        m_process.waitForReadyRead(int(ProbeGap.count()));
    }
}

void BrokerWatch::clear()
{
    messages();
    m_messages.clear();
}
