#include "qt/mqtt/mqttclient.h"

#include "qt/platform/pipesignal.h"
#include "qt/platform/socketerror.h"
#include "qt/platform/stopsignals.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <QCoreApplication>

namespace {
constexpr int QosAtMostOnce = 0;
constexpr bool Retain = true;
constexpr bool CleanSession = true;
constexpr int OsCertificates = 1;
constexpr int OneMessage = 1;

void initialiseLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string describe(int code, int error)
{
    if (code == MOSQ_ERR_ERRNO)
        return std::strerror(error);
    if (code == MOSQ_ERR_TLS)
        return "the TLS handshake failed: its certificate is not trusted, or it does not speak TLS";
    return mosquitto_strerror(code);
}

// Why a broker refused the console, by its CONNACK reason code.
std::string refusal(int code)
{
    switch (code) {
    case MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION:
        return "it does not speak MQTT 5";
    case MQTT_RC_CLIENTID_NOT_VALID:
        return "it refused the client's identifier";
    case MQTT_RC_SERVER_UNAVAILABLE:
    case MQTT_RC_SERVER_BUSY:
        return "it is unavailable";
    case MQTT_RC_BAD_USERNAME_OR_PASSWORD:
        return "bad user name or password";
    case MQTT_RC_NOT_AUTHORIZED:
        return "not authorised";
    default:
        return std::string(mosquitto_reason_string(code)) + " (code " + std::to_string(code) + ")";
    }
}
} // namespace

// A connect running on its helper thread; the client forgets it when it goes first, and the last one
// to hold the connection then destroys it on the event loop.
struct MqttClient::Attempt
{
    MqttClient *client = nullptr;
    mosquitto *orphan = nullptr;
};

MqttClient::MqttClient(MqttConnection connection, Notice notice)
    : m_connection(std::move(connection)), m_notice(std::move(notice))
{
    initialiseLibrary();
    // OpenSSL writes without MSG_NOSIGNAL.
    keepPipeSignalFromThisThread();
    m_mosq = mosquitto_new(m_connection.clientId.empty() ? nullptr : m_connection.clientId.c_str(),
                           CleanSession, this);
    if (!m_mosq)
        throw std::runtime_error("the MQTT client could not be made (" + std::string(std::strerror(errno)) +
                                 ")");
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnect);
    mosquitto_message_callback_set(m_mosq, &MqttClient::onMessage);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::onDisconnect);
    const BrokerUrl &url = m_connection.url;
    // MQTT 5 tells a message published retained from one published live, when subscribed so.
    int code = mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    if (code == MOSQ_ERR_SUCCESS)
        code =
            mosquitto_will_set(m_mosq, m_connection.willTopic.c_str(), int(m_connection.willPayload.size()),
                               m_connection.willPayload.data(), QosAtMostOnce, Retain);
    if (code == MOSQ_ERR_SUCCESS && !url.user.empty())
        code = mosquitto_username_pw_set(m_mosq, url.user.c_str(),
                                         m_connection.password.empty() ? nullptr
                                                                       : m_connection.password.c_str());
    if (code == MOSQ_ERR_SUCCESS && url.tls) {
        code =
            m_connection.caFile.empty()
                ? mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, OsCertificates)
                : mosquitto_tls_set(m_mosq, m_connection.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    }
    if (code != MOSQ_ERR_SUCCESS) {
        mosquitto_destroy(m_mosq);
        throw std::runtime_error("the MQTT client could not be set up: " + describe(code, errno));
    }
    m_housekeeping.setInterval(HousekeepingPeriod);
    connect(&m_housekeeping, &QTimer::timeout, this, &MqttClient::housekeeping);
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &MqttClient::connectNow);
    m_flush.setSingleShot(true);
    connect(&m_flush, &QTimer::timeout, this, &MqttClient::flush);
    m_handshake.setSingleShot(true);
    connect(&m_handshake, &QTimer::timeout, this, [this] {
        if (m_state == State::Handshaking)
            lost("cannot be reached (no answer within " + std::to_string(HandshakeWait.count()) + " s)",
                 false);
    });
    m_stopWait.setSingleShot(true);
    connect(&m_stopWait, &QTimer::timeout, this, &MqttClient::finishStop);
}

MqttClient::~MqttClient()
{
    m_readNotifier.reset();
    m_writeNotifier.reset();
    if (m_attempt) {
        // The helper thread still holds the connection; it is destroyed when the thread is done.
        m_attempt->client = nullptr;
        m_attempt->orphan = m_mosq;
        return;
    }
    mosquitto_destroy(m_mosq);
}

void MqttClient::start()
{
    if (m_state == State::Idle)
        connectNow();
}

void MqttClient::connectNow()
{
    m_state = State::Resolving;
    m_refusal = 0;
    m_attempt = std::make_shared<Attempt>();
    m_attempt->client = this;
    // The connect resolves the broker's name, which may take as long as the resolver likes: not on the
    // event loop. Nothing else touches the connection until it returns.
    std::thread([attempt = m_attempt, mosq = m_mosq, host = m_connection.url.host,
                 port = int(m_connection.url.port)] {
        keepPipeSignalFromThisThread();
        const int code = mosquitto_connect_async(mosq, host.c_str(), port, KeepAliveSeconds);
        const int error = errno;
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [attempt, code, error] {
                if (attempt->client)
                    attempt->client->connectReturned(code, error);
                else
                    mosquitto_destroy(attempt->orphan);
            },
            Qt::QueuedConnection);
    }).detach();
}

void MqttClient::connectReturned(int code, int error)
{
    m_attempt.reset();
    if (m_state == State::Stopped)
        return;
    if (code != MOSQ_ERR_SUCCESS) {
        lost("cannot be reached (" + describe(code, error) + ")", code == MOSQ_ERR_TLS && !m_everConnected);
        return;
    }
    m_state = State::Handshaking;
    m_connectErrno = error;
    watchSocket();
    m_housekeeping.start();
    m_handshake.start(HandshakeWait);
}

void MqttClient::watchSocket()
{
    const int socket = mosquitto_socket(m_mosq);
    m_readNotifier = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &MqttClient::readReady);
    m_writeNotifier = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Write);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &MqttClient::writeReady);
    updateWriteWatch();
}

void MqttClient::readReady()
{
    if (!connectFailed())
        settle(mosquitto_loop_read(m_mosq, OneMessage));
}

void MqttClient::writeReady()
{
    if (connectFailed())
        return;
    settle(mosquitto_loop_write(m_mosq, OneMessage));
    flush();
}

// libmosquitto takes a TLS connect that failed for a handshake still under way, and would try it again
// without end until HandshakeWait; its first write may have taken the reason (the connect's errno).
bool MqttClient::connectFailed()
{
    if (m_state != State::Handshaking)
        return false;
    const std::optional<int> error = failedConnectError(mosquitto_socket(m_mosq));
    if (!error)
        return false;
    const int reason = *error != 0 ? *error : m_connectErrno;
    const bool known = reason != 0 && reason != EINPROGRESS && reason != EAGAIN;
    lost("cannot be reached (" + (known ? describe(MOSQ_ERR_ERRNO, reason) : "the connection failed") + ")",
         false);
    return true;
}

void MqttClient::housekeeping()
{
    settle(mosquitto_loop_misc(m_mosq));
}

void MqttClient::settle(int code)
{
    const int error = errno;
    if (m_state == State::Stopped) {
        if (code != MOSQ_ERR_SUCCESS || mosquitto_socket(m_mosq) < 0)
            finishStop();
        else
            updateWriteWatch();
        return;
    }
    if (m_state != State::Handshaking && m_state != State::Connected)
        return;
    if (code == MOSQ_ERR_SUCCESS && mosquitto_socket(m_mosq) >= 0) {
        updateWriteWatch();
        return;
    }
    if (m_refusal != 0) {
        lost("refused the console: " + refusal(m_refusal), !m_everConnected);
        return;
    }
    const std::string why = code == MOSQ_ERR_SUCCESS ? "the connection closed" : describe(code, error);
    lost((m_state == State::Connected ? "is gone (" : "cannot be reached (") + why + ")",
         code == MOSQ_ERR_TLS && !m_everConnected);
}

void MqttClient::lost(const std::string &why, bool fatalAtStart)
{
    m_readNotifier.reset();
    m_writeNotifier.reset();
    m_housekeeping.stop();
    m_handshake.stop();
    if (fatalAtStart) {
        m_state = State::Stopped;
        if (m_onFatal)
            m_onFatal("the MQTT broker " + brokerName() + " " + why);
        return;
    }
    m_state = State::Paused;
    if (!m_toldAway) {
        m_toldAway = true;
        m_notice("the MQTT broker " + brokerName() + " " + why +
                 "; the watch goes on, and the console tries again");
    }
    m_pause.start(m_nextPause);
    m_nextPause = std::min(m_nextPause * 2, LongestReconnectPause);
}

void MqttClient::onConnect(mosquitto *, void *client, int code)
{
    auto *self = static_cast<MqttClient *>(client);
    if (code != 0) {
        self->m_refusal = code;
        return;
    }
    self->m_state = State::Connected;
    self->m_everConnected = true;
    self->m_nextPause = FirstReconnectPause;
    if (self->m_toldAway) {
        self->m_toldAway = false;
        self->m_notice("the MQTT broker " + self->brokerName() + " is connected again");
    }
    for (const std::string &filter : self->m_filters)
        self->subscribeNow(filter);
    // A broker that kept nothing has lost every value: all of them go again.
    self->resendRetained();
}

void MqttClient::resendRetained()
{
    for (const auto &[topic, payload] : m_retained) {
        if (m_dirtySet.insert(topic).second)
            m_dirty.push_back(topic);
    }
    flushSoon();
}

void MqttClient::subscribeNow(const std::string &filter)
{
    mosquitto_subscribe_v5(m_mosq, nullptr, filter.c_str(), QosAtMostOnce, MQTT_SUB_OPT_RETAIN_AS_PUBLISHED,
                           nullptr);
}

void MqttClient::onMessage(mosquitto *, void *client, const mosquitto_message *message)
{
    auto *self = static_cast<MqttClient *>(client);
    if (!self->m_onMessage || self->m_state != State::Connected)
        return;
    const std::string payload(static_cast<const char *>(message->payload), std::size_t(message->payloadlen));
    self->m_onMessage(message->topic, payload, message->retain);
}

void MqttClient::onDisconnect(mosquitto *, void *client, int)
{
    auto *self = static_cast<MqttClient *>(client);
    if (self->m_state == State::Stopped)
        self->finishStop();
}

void MqttClient::setRetained(const std::string &topic, const std::string &payload)
{
    const auto [kept, added] = m_retained.try_emplace(topic, payload);
    if (!added) {
        if (kept->second == payload)
            return;
        kept->second = payload;
    }
    if (m_dirtySet.insert(topic).second)
        m_dirty.push_back(topic);
    flushSoon();
}

void MqttClient::publish(const std::string &topic, const std::string &payload)
{
    if (m_queue.size() >= QueueLimit) {
        if (m_dropped++ == m_droppedTold)
            m_notice("the MQTT broker " + brokerName() +
                     " takes no more messages for now; replies and errors are dropped until it does");
        return;
    }
    m_queue.emplace_back(topic, payload);
    flushSoon();
}

void MqttClient::subscribe(const std::string &filter)
{
    m_filters.push_back(filter);
    if (m_state == State::Connected)
        subscribeNow(filter);
}

void MqttClient::flushSoon()
{
    if (m_state == State::Connected && !m_flush.isActive())
        m_flush.start(0);
}

// Hands messages to libmosquitto only while its own queue is empty, so what waits is bounded here.
void MqttClient::flush()
{
    while (m_state == State::Connected && !mosquitto_want_write(m_mosq)) {
        int code = MOSQ_ERR_SUCCESS;
        if (!m_dirty.empty()) {
            const std::string topic = std::move(m_dirty.front());
            m_dirty.pop_front();
            m_dirtySet.erase(topic);
            const std::string &payload = m_retained.at(topic);
            code = mosquitto_publish(m_mosq, nullptr, topic.c_str(), int(payload.size()), payload.data(),
                                     QosAtMostOnce, Retain);
        } else if (!m_queue.empty()) {
            const auto [topic, payload] = std::move(m_queue.front());
            m_queue.pop_front();
            code = mosquitto_publish(m_mosq, nullptr, topic.c_str(), int(payload.size()), payload.data(),
                                     QosAtMostOnce, !Retain);
        } else {
            break;
        }
        if (code != MOSQ_ERR_SUCCESS) {
            settle(code);
            return;
        }
    }
    updateWriteWatch();
    if (m_state == State::Connected && m_queue.empty() && m_dropped > m_droppedTold) {
        m_notice("the MQTT broker " + brokerName() + " takes messages again; " +
                 std::to_string(m_dropped - m_droppedTold) + " replies and errors were dropped");
        m_droppedTold = m_dropped;
    }
}

void MqttClient::updateWriteWatch()
{
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(mosquitto_want_write(m_mosq));
}

void MqttClient::stop(std::function<void()> done)
{
    const bool wasConnected = m_state == State::Connected;
    m_state = State::Stopped;
    m_pause.stop();
    m_stopped = std::move(done);
    if (!wasConnected) {
        finishStop();
        return;
    }
    // A clean disconnect keeps the broker from sending the will: the console says it itself.
    mosquitto_publish(m_mosq, nullptr, m_connection.willTopic.c_str(), int(m_connection.willPayload.size()),
                      m_connection.willPayload.data(), QosAtMostOnce, Retain);
    mosquitto_disconnect(m_mosq);
    // After a stop signal, the broker shares the waits at the end with the other outputs.
    m_stopWait.start(StopSignals::waitLeft(StopWait));
    if (mosquitto_socket(m_mosq) < 0)
        finishStop();
    else
        updateWriteWatch();
}

void MqttClient::finishStop()
{
    m_readNotifier.reset();
    m_writeNotifier.reset();
    m_housekeeping.stop();
    m_stopWait.stop();
    if (std::function<void()> done = std::move(m_stopped)) {
        m_stopped = nullptr;
        done();
    }
}

std::string MqttClient::brokerName() const
{
    const BrokerUrl &url = m_connection.url;
    const bool ipv6 = url.host.find(':') != std::string::npos;
    return (url.tls ? "mqtts://" : "mqtt://") + (ipv6 ? "[" + url.host + "]" : url.host) + ":" +
           std::to_string(url.port);
}
