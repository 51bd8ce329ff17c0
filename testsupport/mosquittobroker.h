#pragma once

#include <cstdint>
#include <memory>

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

// Debian's mosquitto on a free port of 127.0.0.1 with a config of the test's own: no persistence, so a
// restart loses every retained message, as a broker without it does. Stopped at the end.
class MosquittoBroker
{
public:
    // Where it is installed; empty when it is not.
    static QString program();

    MosquittoBroker();
    ~MosquittoBroker();
    MosquittoBroker(const MosquittoBroker &) = delete;
    MosquittoBroker &operator=(const MosquittoBroker &) = delete;

    // Before start: only this user with this password is let in.
    void requirePassword(const QString &user, const QString &password);
    // Before start: TLS only, with this certificate and key.
    void useTls(const QString &certificate, const QString &key);

    // Starts it (again, on the same port) and waits until it listens; false when it would not come up.
    bool start();
    // SIGTERM, or SIGKILL with kill.
    void stop(bool kill = false);

    std::uint16_t port() const { return m_port; }
    // A file in the broker's own temporary folder.
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // What it said on its way, for a failure's message.
    QString output() const;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    std::uint16_t m_port = 0;
    QString m_passwordFile;
    QString m_certificate;
    QString m_key;
};

// What a broker carries on some topics, as mosquitto_sub sees it: every message, retained or not.
class BrokerWatch
{
public:
    struct Message
    {
        bool retained = false;
        QString topic;
        QByteArray payload;
    };

    // Extra arguments for mosquitto_sub and mosquitto_pub, such as --cafile. Returns once subscribed.
    BrokerWatch(std::uint16_t port, const QStringList &topics, const QStringList &extra = {});
    ~BrokerWatch();
    BrokerWatch(const BrokerWatch &) = delete;
    BrokerWatch &operator=(const BrokerWatch &) = delete;

    // Every message so far, in order.
    const QList<Message> &messages();
    // The last payload on a topic, or a null array when none came.
    QByteArray latest(const QString &topic);
    // Whether the topic carried the payload within the wait (at any time since the watch began).
    bool waitFor(const QString &topic, const QByteArray &payload, int milliseconds = 5000);
    // Forgets what came so far.
    void clear();

private:
    void read();

    QProcess m_process;
    QByteArray m_pending;
    QList<Message> m_messages;
    bool m_ready = false;
};

// In a test function: skips it where mosquitto is not installed.
#define SKIP_WITHOUT_MOSQUITTO()                                                                             \
    if (MosquittoBroker::program().isEmpty() || QStandardPaths::findExecutable("mosquitto_sub").isEmpty())   \
    QSKIP("mosquitto is not installed (apt-get install mosquitto mosquitto-clients)")
