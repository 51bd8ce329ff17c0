#pragma once

#include "mqtt/brokerurl.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

struct mosquitto;
struct mosquitto_message;

// How the console meets its broker.
struct MqttConnection
{
    BrokerUrl url;
    std::string password; // with url.user only
    std::string caFile;   // mqtts:// with a private CA; empty trusts the system's CAs
    std::string clientId; // the same at every start, so a broker's records name the console; empty: random
    // The retained message the broker publishes when the console vanishes, and that a clean stop sends.
    std::string willTopic;
    std::string willPayload;
};

// One connection to an MQTT broker over MQTT 5, driven by libmosquitto inside the event loop: its socket
// through notifiers, its keep-alive on a timer, and only the connect (which resolves the host's name) on a
// thread of its own. Retained messages are kept as state, the latest per topic, and sent again on every
// connect; other messages wait in a bounded queue. A broker that cannot be reached or goes away is tried
// again after the pause a status watch takes to reopen its line (1, 2, 4 ... 30 s); a broker that refuses the
// console, or a TLS failure, before the first connection is fatal.
class MqttClient : public QObject
{
public:
    static constexpr int KeepAliveSeconds = 30;
    // How long a broker may take from the connect to its CONNACK; one that does not answer is tried again.
    static constexpr auto HandshakeWait = std::chrono::seconds(10);
    static constexpr auto HousekeepingPeriod = std::chrono::milliseconds(500);
    // How long a stop waits for the broker to take the last messages and the disconnect.
    static constexpr auto StopWait = std::chrono::seconds(1);
    // A lost broker is tried again after a pause that doubles from the first to the longest, and starts
    // from the first again after a good connect.
    static constexpr auto FirstReconnectPause = std::chrono::seconds(1);
    static constexpr auto LongestReconnectPause = std::chrono::seconds(30);
    // Messages that are not state (replies, errors) kept while the broker cannot take them.
    static constexpr std::size_t QueueLimit = 1000;

    using Notice = std::function<void(const std::string &)>;
    using Message = std::function<void(const std::string &topic, const std::string &payload, bool retained)>;

    MqttClient(MqttConnection connection, Notice notice);
    ~MqttClient() override;
    MqttClient(const MqttClient &) = delete;
    MqttClient &operator=(const MqttClient &) = delete;

    // Called with each message on the subscribed topics.
    void setOnMessage(Message onMessage) { m_onMessage = std::move(onMessage); }
    // Called once when the broker refuses the console or TLS fails before it was ever connected.
    void setOnFatal(Notice onFatal) { m_onFatal = std::move(onFatal); }

    void start();
    // The latest payload of a retained topic; sent when it differs from the last, and on every connect.
    void setRetained(const std::string &topic, const std::string &payload);
    // A message sent once, when the broker can take it; dropped and counted when the queue is full.
    void publish(const std::string &topic, const std::string &payload);
    // Subscribed on every connect; a message published retained says so even when it comes live.
    void subscribe(const std::string &filter);
    // Sends every retained topic's latest payload again.
    void resendRetained();
    // Sends the will's payload, disconnects cleanly and calls done, within StopWait.
    void stop(std::function<void()> done);

    bool connected() const { return m_state == State::Connected; }
    std::size_t dropped() const { return m_dropped; }

private:
    enum class State { Idle, Resolving, Handshaking, Connected, Paused, Stopped };
    struct Attempt;

    static void onConnect(mosquitto *, void *client, int code);
    static void onMessage(mosquitto *, void *client, const mosquitto_message *message);
    static void onDisconnect(mosquitto *, void *client, int code);

    void connectNow();
    void connectReturned(int code, int error);
    void watchSocket();
    void readReady();
    void writeReady();
    bool connectFailed();
    void housekeeping();
    void settle(int code);
    // why: what the broker did, after its name ("cannot be reached (Connection refused)").
    void lost(const std::string &why, bool fatalAtStart);
    void pauseThenConnect();
    void subscribeNow(const std::string &filter);
    void flushSoon();
    void flush();
    void updateWriteWatch();
    void finishStop();
    std::string brokerName() const;

    MqttConnection m_connection;
    Notice m_notice;
    Notice m_onFatal;
    Message m_onMessage;
    mosquitto *m_mosq = nullptr;
    State m_state = State::Idle;
    std::shared_ptr<Attempt> m_attempt;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QTimer m_housekeeping;
    QTimer m_pause;
    QTimer m_flush;
    QTimer m_stopWait;
    QTimer m_handshake;
    std::chrono::seconds m_nextPause = FirstReconnectPause;
    bool m_everConnected = false;
    bool m_toldAway = false;
    int m_refusal = 0;      // the broker's CONNACK code when it refused
    int m_connectErrno = 0; // errno as the connect returned, for a TLS connect that failed at once
    std::vector<std::string> m_filters;
    std::map<std::string, std::string> m_retained;
    std::deque<std::string> m_dirty;
    std::set<std::string> m_dirtySet;
    std::deque<std::pair<std::string, std::string>> m_queue;
    std::size_t m_dropped = 0;
    std::size_t m_droppedTold = 0;
    std::function<void()> m_stopped;
};
