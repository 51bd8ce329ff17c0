#pragma once

#include "qt/api/fleetstate.h"
#include "qt/http/httpserver.h"
#include "watch/fleetobserver.h"
#include "watch/presswaiters.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QJsonObject>
#include <QObject>
#include <QTimer>

// Who may press through the API: the token every POST carries (none: no POST is taken), and whether
// free-form commands are taken.
struct ApiAccess
{
    std::optional<std::string> token;
    bool allowSend = false;
};

// The fleet's control API under /api on the console's HTTP server: each projector's state, presses and
// free-form commands into the fleet, and its events as server-sent events. The state is rendered on the
// event loop's thread when it changes, at most once a RenderPause, and before any press is answered, and
// handed to the server's thread whole; a POST is taken on the event loop's thread and answered from there.
class FleetApi : public FleetObserver
{
public:
    // Gives a press or command to a projector's watch, from where, and what came of it there.
    using Command =
        std::function<PressOutcome(const std::string &projector, std::string text, const std::string &from)>;
    // A status and the JSON object answered with it.
    using Answer = std::function<void(unsigned status, QJsonObject)>;

    static constexpr std::chrono::milliseconds RenderPause{100};
    // Readers of the events at once, and the pause after which an idle stream is told it is alive.
    static constexpr std::size_t EventReaderLimit = 64;
    static constexpr std::chrono::seconds KeepAlivePause{15};

    FleetApi(ApiAccess access, Command command);
    ~FleetApi() override;
    FleetApi(const FleetApi &) = delete;
    FleetApi &operator=(const FleetApi &) = delete;

    // The routes to serve; they hold no reference to the API and answer 503 once it is gone.
    std::vector<HttpRoute> routes() const;
    // A POST, on the event loop's thread.
    void handle(const HttpRequest &request, const HttpReply &reply);

    void projectorAdded(const FleetProjector &projector) override;
    void lineChanged(const std::string &projector, bool connected, const std::string &reason) override;
    void exchanged(const std::string &projector, const Exchange &exchange, bool changed) override;
    void commanded(const std::string &projector, const Exchange &exchange) override;
    void powerChanged(const std::string &projector, PowerState state) override;
    void heldPressEnded(const std::string &projector, const PressOutcome &outcome) override;
    void pressed(const std::string &projector, const std::string &from, const PressOutcome &outcome) override;
    void lineLent(const std::string &projector, const std::string &to) override;
    void projectorRemoved(const std::string &projector) override;

private:
    struct Shared;

    void route(const std::vector<std::string> &parts, const std::string &from, const std::string &body,
               const Answer &done);
    void press(const std::string &projector, const std::string &text, const std::string &from,
               const Answer &done);
    void pressGroup(const std::string &group, const std::string &text, const std::string &from,
                    const HttpReply &reply);
    // The projector's state changed: it is rendered again within a RenderPause.
    void changed(const std::string &projector);
    void render();
    void broadcast(const std::string &text);
    void event(QJsonObject event);

    ApiAccess m_access;
    Command m_command;
    FleetState m_state;
    std::shared_ptr<Shared> m_shared;
    PressWaiters m_waiters;
    bool m_stopping = false;
    bool m_renderDue = false;
    std::set<std::string> m_dirty;
    // Each projector's text as last rendered.
    std::map<std::string, std::shared_ptr<const std::string>, std::less<>> m_rendered;
    std::chrono::steady_clock::time_point m_lastRender;
    // Ties deferred renders and the requests handed over to this API's life.
    QObject m_context;
    QTimer m_keepAlive;
};
