#include "qt/api/fleetapi.h"

#include "mqtt/presskeys.h"
#include "mqtt/remotecommand.h"
#include "qt/exchange/exchangeoutput.h"
#include "wire/printable.h"
#include "wire/valuekeys.h"

#include <algorithm>
#include <mutex>

#include <QJsonArray>
#include <QJsonDocument>

namespace {
constexpr std::string_view Prefix = "/api/";
constexpr char JsonType[] = "application/json";
constexpr unsigned Ok = 200, Accepted = 202, BadRequest = 400, Unauthorized = 401, Forbidden = 403,
                   NotFound = 404, Conflict = 409, UnsupportedType = 415, TooMany = 429, Unavailable = 503;

std::shared_ptr<const std::string> document(const QJsonObject &object)
{
    return std::make_shared<const std::string>(
        QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + "\n");
}

HttpResponse jsonResponse(unsigned status, const QJsonObject &object)
{
    return {status, JsonType, document(object), {}, {}};
}

QJsonObject error(const std::string &why)
{
    return {{QStringLiteral("error"), QString::fromStdString(printable(why))}};
}

QJsonObject parsed(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

std::vector<std::string> partsOf(std::string_view path)
{
    std::vector<std::string> parts;
    path.remove_prefix(std::min(path.size(), Prefix.size()));
    while (!path.empty()) {
        const std::size_t slash = std::min(path.find('/'), path.size());
        parts.emplace_back(path.substr(0, slash));
        path.remove_prefix(std::min(path.size(), slash + 1));
    }
    return parts;
}

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return lower;
}

// Only a type a form cannot send: a page elsewhere cannot make a browser press.
bool acceptedType(std::string_view type)
{
    type = type.substr(0, type.find(';'));
    while (!type.empty() && type.back() == ' ')
        type.remove_suffix(1);
    const std::string lower = lowerCase(type);
    return lower == "application/json" || lower == "text/plain";
}

// The same answer for any token of the same length, whatever byte first differs.
bool sameToken(std::string_view given, std::string_view token)
{
    unsigned char difference = given.size() == token.size() ? 0 : 1;
    for (std::size_t i = 0; i < given.size(); ++i)
        difference |=
            static_cast<unsigned char>(given[i] ^ token[i % std::max<std::size_t>(token.size(), 1)]);
    return difference == 0 && !token.empty();
}

std::optional<HttpResponse> refusal(const ApiAccess &access, const HttpRequest &request)
{
    if (!access.token)
        return jsonResponse(Forbidden, error("presses are taken only when the console runs with "
                                             "--http-token-file FILE, and carry its token"));
    // The scheme's word in any case, as HTTP has it.
    constexpr std::string_view Scheme = "bearer ";
    const std::string_view given = request.authorization;
    if (given.size() < Scheme.size() || !sameToken(given.substr(Scheme.size()), *access.token) ||
        lowerCase(given.substr(0, Scheme.size())) != Scheme) {
        HttpResponse answer = jsonResponse(
            Unauthorized, error("a press needs the header Authorization: Bearer TOKEN, with the token of "
                                "--http-token-file"));
        answer.headers.emplace_back("WWW-Authenticate", "Bearer");
        return answer;
    }
    if (!acceptedType(request.contentType))
        return jsonResponse(UnsupportedType, error("a press is sent as application/json or text/plain"));
    return std::nullopt;
}

unsigned droppedStatus(PressOutcome::Reason reason)
{
    switch (reason) {
    case PressOutcome::Reason::UnknownProjector:
        return NotFound;
    case PressOutcome::Reason::NotConnected:
        return Unavailable;
    case PressOutcome::Reason::QueueFull:
        return TooMany;
    case PressOutcome::Reason::Other:
        break;
    }
    return Conflict;
}
} // namespace

// What the server's thread and the event loop share: the state rendered, the event readers, and the way
// to the API while it lives.
struct FleetApi::Shared
{
    std::mutex mutex;
    std::shared_ptr<const std::string> list;
    std::map<std::string, std::shared_ptr<const std::string>, std::less<>> each;
    std::vector<std::shared_ptr<HttpStream>> readers;
    FleetApi *api = nullptr;

    void projector(std::string_view name, const HttpReply &reply)
    {
        const std::lock_guard lock(mutex);
        const auto found = each.find(name);
        if (found == each.end())
            return reply(jsonResponse(NotFound, error("no projector is named " + std::string(name))));
        reply({Ok, JsonType, found->second, {}, {}});
    }

    void post(const HttpRequest &request, const HttpReply &reply)
    {
        const std::lock_guard lock(mutex);
        if (api == nullptr)
            return reply(jsonResponse(Unavailable, error("the console is stopping")));
        QMetaObject::invokeMethod(
            &api->m_context, [target = api, request, reply] { target->handle(request, reply); },
            Qt::QueuedConnection);
    }

    void listen(const HttpReply &reply)
    {
        const std::lock_guard lock(mutex);
        std::erase_if(readers, [](const std::shared_ptr<HttpStream> &reader) { return !reader->open(); });
        if (readers.size() >= EventReaderLimit)
            return reply(jsonResponse(
                Unavailable, error(std::to_string(EventReaderLimit) + " readers already take the events")));
        auto stream = std::make_shared<HttpStream>();
        stream->push(": the fleet's events\n\n");
        readers.push_back(stream);
        reply({Ok, "text/event-stream", {}, {{"Cache-Control", "no-store"}}, stream});
    }
};

FleetApi::FleetApi(ApiAccess access, Command command)
    : m_access(std::move(access)), m_command(std::move(command)), m_shared(std::make_shared<Shared>())
{
    m_shared->api = this;
    render();
    m_keepAlive.setInterval(KeepAlivePause);
    QObject::connect(&m_keepAlive, &QTimer::timeout, &m_context, [this] { broadcast(": alive\n\n"); });
    m_keepAlive.start();
}

FleetApi::~FleetApi()
{
    // The watch has stopped: an exchange still to come never will.
    m_stopping = true;
    m_waiters.abandon();
    const std::lock_guard lock(m_shared->mutex);
    m_shared->api = nullptr;
    for (const std::shared_ptr<HttpStream> &reader : m_shared->readers)
        reader->end();
}

std::vector<HttpRoute> FleetApi::routes() const
{
    const std::shared_ptr<Shared> shared = m_shared;
    const auto list = [shared](const HttpRequest &, const HttpReply &reply) {
        const std::lock_guard lock(shared->mutex);
        reply({Ok, JsonType, shared->list, {}, {}});
    };
    const auto projectors = [shared](const HttpRequest &request, const HttpReply &reply) {
        if (request.method == "POST")
            return shared->post(request, reply);
        const std::vector<std::string> parts = partsOf(request.path);
        if (parts.size() != 2)
            return reply(jsonResponse(NotFound, error("no such path: " + request.path)));
        shared->projector(parts[1], reply);
    };
    return {
        {"/api/projectors", {"GET", "HEAD"}, list},
        {"/api/projectors/", {"GET", "HEAD", "POST"}, projectors, true},
        {"/api/groups/",
         {"POST"},
         [shared](const HttpRequest &request, const HttpReply &reply) { shared->post(request, reply); },
         true},
        {"/api/events",
         {"GET"},
         [shared](const HttpRequest &, const HttpReply &reply) { shared->listen(reply); }},
    };
}

void FleetApi::handle(const HttpRequest &request, const HttpReply &reply)
{
    if (const std::optional<HttpResponse> refused = refusal(m_access, request))
        return reply(*refused);
    const std::vector<std::string> parts = partsOf(request.path);
    const std::string from = "http " + request.client;
    if (parts.size() == 4 && parts[0] == "groups" && parts[2] == "press") {
        const RemoteCommand command = remoteCommand(MqttTopics::Inbox::Press, parts[3], true);
        if (!command.refusal.empty())
            return reply(jsonResponse(BadRequest, error(command.refusal)));
        return pressGroup(parts[1], command.text, from, reply);
    }
    route(parts, from, request.body, [this, reply](unsigned status, const QJsonObject &answer) {
        if (m_renderDue)
            render();
        reply(jsonResponse(status, answer));
    });
}

void FleetApi::route(const std::vector<std::string> &parts, const std::string &from, const std::string &body,
                     const Answer &done)
{
    const bool press = parts.size() == 4 && parts[0] == "projectors" && parts[2] == "press";
    const bool send = parts.size() == 3 && parts[0] == "projectors" && parts[2] == "send";
    if (!press && !send)
        return done(NotFound, error("no such path"));
    if (send && !m_access.allowSend)
        return done(Forbidden, error("free-form commands are taken only when the console runs with "
                                     "--http-allow-send"));
    if (!m_state.has(parts[1]))
        return done(NotFound, error("no projector is named " + parts[1]));
    const RemoteCommand command = press ? remoteCommand(MqttTopics::Inbox::Press, parts[3], true)
                                        : remoteCommand(MqttTopics::Inbox::Send, body, true);
    if (!command.refusal.empty())
        return done(BadRequest, error(command.refusal));
    this->press(parts[1], command.text, from, done);
}

void FleetApi::press(const std::string &projector, const std::string &text, const std::string &from,
                     const Answer &done)
{
    const PressOutcome outcome = m_waiters.press(
        projector, [&] { return m_command(projector, text, from); },
        [this, projector, done](const Exchange *exchange) {
            if (exchange)
                return done(Ok, parsed(exchangeJson(*exchange)));
            if (m_stopping)
                return done(Unavailable, error("the console is stopping"));
            done(NotFound, error(projector + " left the fleet"));
        });
    switch (outcome.kind) {
    case PressOutcome::Kind::Sent:
        // Its exchange is the answer, once it comes.
        return;
    case PressOutcome::Kind::Held:
        return done(Accepted, {{QStringLiteral("pending"), QString::fromStdString(pressName(outcome.text))}});
    case PressOutcome::Kind::Already:
        return done(Ok, {{QStringLiteral("already"), QString::fromStdString(outcome.detail)}});
    case PressOutcome::Kind::Dropped:
        return done(droppedStatus(outcome.reason), error(outcome.detail));
    }
}

void FleetApi::pressGroup(const std::string &group, const std::string &text, const std::string &from,
                          const HttpReply &reply)
{
    const std::vector<std::string> names = m_state.inGroup(group);
    if (names.empty())
        return reply(jsonResponse(NotFound, error("no projector is in the group " + group)));
    struct Gathered
    {
        QJsonObject results;
        std::size_t left = 0;
    };
    auto gathered = std::make_shared<Gathered>(Gathered{{}, names.size()});
    // Every projector is pressed at once; the answer waits for the last exchange.
    for (const std::string &name : names)
        press(name, text, from, [this, gathered, reply, name](unsigned status, QJsonObject answer) {
            answer.insert(QStringLiteral("status"), int(status));
            gathered->results.insert(QString::fromStdString(name), answer);
            if (--gathered->left != 0)
                return;
            if (m_renderDue)
                render();
            reply(jsonResponse(Ok, {{QStringLiteral("results"), gathered->results}}));
        });
}

void FleetApi::projectorAdded(const FleetProjector &projector)
{
    m_state.add(projector);
    changed(projector.name);
}

void FleetApi::lineChanged(const std::string &projector, bool connected, const std::string &reason)
{
    m_state.setConnected(projector, connected);
    changed(projector);
    event({{QStringLiteral("event"), QStringLiteral("line")},
           {QStringLiteral("projector"), QString::fromStdString(projector)},
           {QStringLiteral("connected"), connected},
           {QStringLiteral("reason"), QString::fromStdString(printable(reason))}});
}

void FleetApi::exchanged(const std::string &projector, const Exchange &exchange, bool changed)
{
    const std::string_view key = valueKey(exchange.sent);
    if (!exchange.answered)
        return;
    m_state.replied(projector);
    this->changed(projector);
    if (!exchange.value || key.empty())
        return;
    const QJsonValue value = QJsonDocument::fromJson("[" + valueJson(*exchange.value) + "]").array().at(0);
    m_state.setValue(projector, std::string(key), value);
    if (changed)
        event({{QStringLiteral("event"), QStringLiteral("value")},
               {QStringLiteral("projector"), QString::fromStdString(projector)},
               {QStringLiteral("key"), QString::fromLatin1(key.data(), qsizetype(key.size()))},
               {QStringLiteral("value"), value}});
}

void FleetApi::commanded(const std::string &projector, const Exchange &exchange)
{
    if (exchange.answered)
        m_state.replied(projector);
    if (m_state.pending(projector) == exchange.sent)
        m_state.setPending(projector, std::nullopt);
    changed(projector);
    m_waiters.commanded(projector, exchange);
}

void FleetApi::powerChanged(const std::string &projector, PowerState state)
{
    m_state.setPower(projector, state);
    changed(projector);
    event({{QStringLiteral("event"), QStringLiteral("power")},
           {QStringLiteral("projector"), QString::fromStdString(projector)},
           {QStringLiteral("power"), QString::fromLatin1(powerStateName(state))}});
}

void FleetApi::heldPressEnded(const std::string &projector, const PressOutcome &)
{
    m_state.setPending(projector, std::nullopt);
    changed(projector);
}

void FleetApi::pressed(const std::string &projector, const std::string &from, const PressOutcome &outcome)
{
    if (outcome.kind == PressOutcome::Kind::Held)
        m_state.setPending(projector, outcome.text);
    m_waiters.pressed(projector, from, outcome);
    changed(projector);
    QJsonObject told = parsed(pressJson(
        QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString(), projector, from, outcome));
    told.insert(QStringLiteral("event"), QStringLiteral("press"));
    event(told);
}

void FleetApi::lineLent(const std::string &projector, const std::string &to)
{
    m_state.setLent(projector, to);
    changed(projector);
    event({{QStringLiteral("event"), QStringLiteral("lent")},
           {QStringLiteral("projector"), QString::fromStdString(projector)},
           {QStringLiteral("lent"), m_state.lent(projector)}});
}

void FleetApi::projectorRemoved(const std::string &projector)
{
    m_state.remove(projector);
    m_waiters.projectorRemoved(projector);
    changed(projector);
}

void FleetApi::changed(const std::string &projector)
{
    m_dirty.insert(projector);
    if (std::exchange(m_renderDue, true))
        return;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_lastRender + RenderPause -
                                                                   std::chrono::steady_clock::now());
    QTimer::singleShot(std::max(wait, std::chrono::milliseconds(0)), &m_context, [this] {
        if (m_renderDue)
            render();
    });
}

void FleetApi::render()
{
    m_renderDue = false;
    m_lastRender = std::chrono::steady_clock::now();
    // Only the projectors that changed are rendered again; the list joins what each one's text is now.
    std::map<std::string, std::shared_ptr<const std::string>, std::less<>> each = m_rendered;
    for (const std::string &name : std::exchange(m_dirty, {})) {
        if (m_state.has(name))
            each[name] = document(m_state.json(name));
        else
            each.erase(name);
    }
    std::string list = "{\"projectors\":[";
    for (const std::string &name : m_state.names()) {
        const std::string &one = *each.at(name);
        if (list.back() != '[')
            list += ',';
        // Each one's text ends in a newline, which the list has only at its end.
        list.append(one, 0, one.size() - 1);
    }
    list += "]}\n";
    m_rendered = each;
    const std::lock_guard lock(m_shared->mutex);
    m_shared->list = std::make_shared<const std::string>(std::move(list));
    m_shared->each = std::move(each);
}

void FleetApi::event(QJsonObject event)
{
    broadcast("data: " + QJsonDocument(event).toJson(QJsonDocument::Compact).toStdString() + "\n\n");
}

void FleetApi::broadcast(const std::string &text)
{
    const std::lock_guard lock(m_shared->mutex);
    // A reader gone, or cut off for falling behind, is let go.
    std::erase_if(m_shared->readers,
                  [&](const std::shared_ptr<HttpStream> &reader) { return !reader->push(text); });
}
