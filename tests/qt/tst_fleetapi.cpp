#include "fakeserialport.h"
#include "qt/api/fleetapi.h"
#include "virtualclock.h"
#include "watch/fleetwatch.h"

#include <map>

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace std::chrono_literals;

namespace {
constexpr auto Period = 1000ms;
constexpr auto Wait = 200ms;
constexpr auto Step = 10ms;
const std::string Token = "s3cret";
const QByteArray Authorized = "Bearer s3cret";

// A fleet on fake ports in virtual time, and the API on it: "standby" and "warming" answer CR0 so
// (both in the group "front"), "busy" never answers, "closed" cannot be opened. Every command that is
// not CR0 is acknowledged.
struct Fleet
{
    explicit Fleet(ApiAccess access) : api(std::move(access), command())
    {
        ports.at("closed").failingPorts.insert(1);
        fleet.addObserver(api);
        fleet.start();
        run(Period / 2);
    }

    FleetApi::Command command()
    {
        return [this](const std::string &projector, std::string text, const std::string &from) {
            return fleet.command(projector, std::move(text), from);
        };
    }

    void run(std::chrono::milliseconds span)
    {
        for (auto end = clock.now() + span; clock.now() < end;) {
            clock.advance(Step);
            for (const auto &[name, reply] : replies) {
                FakeSerialPort &port = ports.at(name);
                for (; port.PortOpen() && answered[name] < port.writes.size(); ++answered[name])
                    port.deliver(port.writes[answered[name]] == "CR0\r" ? reply : "\x06\r");
            }
        }
    }

    // A POST as the server hands it over, and its answer once the fleet has had time to give it.
    std::optional<HttpResponse> post(const QByteArray &path, const QByteArray &authorization = Authorized,
                                     const QByteArray &type = "application/json", const QByteArray &body = {})
    {
        std::optional<HttpResponse> answer;
        api.handle({"POST", path.toStdString(), "10.0.0.5", authorization.toStdString(), type.toStdString(),
                    body.toStdString()},
                   [&answer](HttpResponse response) { answer = std::move(response); });
        run(Wait);
        return answer;
    }

    // The answer a GET gets from the server's thread.
    QJsonObject get(const std::string &path)
    {
        std::optional<HttpResponse> answer;
        for (const HttpRoute &route : api.routes()) {
            if (route.prefix ? path.starts_with(route.path) : path == route.path)
                route.answer({"GET", path, "10.0.0.5", {}, {}, {}},
                             [&answer](HttpResponse response) { answer = std::move(response); });
        }
        return answer ? QJsonDocument::fromJson(QByteArray::fromStdString(*answer->body)).object()
                      : QJsonObject();
    }

    VirtualClock clock;
    std::map<std::string, FakeSerialPort> ports;
    std::map<std::string, std::size_t> answered;
    std::map<std::string, std::string> replies{{"standby", "80\r"}, {"warming", "40\r"}};
    FleetWatch fleet{{FleetProjector{"standby", parseEndpoint("/dev/standby"), "19200,N,8,1", "front"},
                      FleetProjector{"warming", parseEndpoint("/dev/warming"), "19200,N,8,1", "front"},
                      FleetProjector{"busy", parseEndpoint("/dev/busy"), "19200,N,8,1", ""},
                      FleetProjector{"closed", parseEndpoint("/dev/closed"), "19200,N,8,1", ""}},
                     FleetPlan{{"CR0"}, Period, Wait, 0ms},
                     [this](const FleetProjector &projector) {
                         return WatchParts{ports[projector.name],
                                           clock.makeTimer(Period),
                                           clock.makeTimer(Wait),
                                           clock.makeTimer(Period),
                                           clock.makeTimer(PressRule::HoldLimit),
                                           clock.makeTimer(StatusWatch::LentSilenceLimit)};
                     },
                     [this] { return clock.now(); }};
    FleetApi api;
};

// A console the line is lent to, which takes whatever it is given.
struct Borrower : LineBorrower
{
    void handedOver() override {}
    void received(const std::string &) override {}
    void takenBack(const std::string &) override {}
};

// Whether every member of `expected` is in `actual` with the same value.
bool holds(const QJsonObject &actual, const QJsonObject &expected)
{
    for (auto member = expected.begin(); member != expected.end(); ++member) {
        const QJsonValue value = actual.value(member.key());
        if (member->isObject() ? !holds(value.toObject(), member->toObject()) : value != *member)
            return false;
    }
    return true;
}
} // namespace

// The control API's answers, on a real fleet of fake ports.
class TestFleetApi : public QObject
{
    Q_OBJECT

private slots:
    void answersEachPress_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("tokenFile");
        QTest::addColumn<QByteArray>("authorization");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<int>("pressesBefore");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("json");

        const QByteArray powerOn = "/api/projectors/standby/press/power_on";
        const QByteArray json = "application/json";
        QTest::newRow("sent, answered") << powerOn << true << Authorized << json << 0 << 200
                                        << QByteArray(R"({"sent": "C00", "answered": true})");
        QTest::newRow("held") << QByteArray("/api/projectors/warming/press/power_off") << true << Authorized
                              << json << 0 << 202 << QByteArray(R"({"pending": "power_off"})");
        QTest::newRow("already") << QByteArray("/api/projectors/standby/press/power_off") << true
                                 << Authorized << QByteArray("text/plain; charset=utf-8") << 0 << 200
                                 << QByteArray(R"({"already": "standby"})");
        QTest::newRow("unknown projector")
            << QByteArray("/api/projectors/nobody/press/power_on") << true << Authorized << json << 0 << 404
            << QByteArray(R"({"error": "no projector is named nobody"})");
        QTest::newRow("unknown key") << QByteArray("/api/projectors/standby/press/warp") << true << Authorized
                                     << json << 0 << 400
                                     << QByteArray(R"({"error": "no control is pressed as 'warp'"})");
        QTest::newRow("hold key")
            << QByteArray("/api/projectors/standby/press/volume_up") << true << Authorized << json << 0 << 400
            << QByteArray(
                   R"({"error": "'volume_up' is a press-and-hold control; it is not pressed from afar"})");
        QTest::newRow("not connected")
            << QByteArray("/api/projectors/closed/press/power_on") << true << Authorized << json << 0 << 503
            << QByteArray(R"({"error": "not connected"})");
        QTest::newRow("queue full") << QByteArray("/api/projectors/busy/press/input_pc1") << true
                                    << Authorized << json << int(StatusWatch::CommandsWaitingLimit) + 1 << 429
                                    << QByteArray(R"({"error": "16 commands are already waiting"})");
        QTest::newRow("no token file")
            << powerOn << false << Authorized << json << 0 << 403
            << QByteArray(
                   R"({"error": "presses are taken only when the console runs with --http-token-file FILE, and carry its token"})");
        QTest::newRow("wrong token") << powerOn << true << QByteArray("Bearer s3cres") << json << 0 << 401
                                     << QByteArray("{}");
        QTest::newRow("token as a prefix")
            << powerOn << true << QByteArray("Bearer s3cret2") << json << 0 << 401 << QByteArray("{}");
        QTest::newRow("no token") << powerOn << true << QByteArray() << json << 0 << 401 << QByteArray("{}");
        QTest::newRow("a form's type")
            << powerOn << true << Authorized << QByteArray("application/x-www-form-urlencoded") << 0 << 415
            << QByteArray("{}");
        QTest::newRow("no type") << powerOn << true << Authorized << QByteArray() << 0 << 415
                                 << QByteArray("{}");
        QTest::newRow("send not allowed") << QByteArray("/api/projectors/standby/send") << true << Authorized
                                          << json << 0 << 403 << QByteArray("{}");
        QTest::newRow("group") << QByteArray("/api/groups/front/press/power_off") << true << Authorized
                               << json << 0 << 200
                               << QByteArray(R"({"results": {"standby": {"status": 200, "already": "standby"},
                                                               "warming": {"status": 202, "pending": "power_off"}}})");
        QTest::newRow("group of none") << QByteArray("/api/groups/back/press/power_off") << true << Authorized
                                       << json << 0 << 404 << QByteArray("{}");
    }

    void answersEachPress()
    {
        QFETCH(QByteArray, path);
        QFETCH(bool, tokenFile);
        QFETCH(QByteArray, authorization);
        QFETCH(QByteArray, type);
        QFETCH(int, pressesBefore);
        QFETCH(int, status);
        QFETCH(QByteArray, json);
        Fleet fleet(ApiAccess{tokenFile ? std::optional(Token) : std::nullopt, false});
        // The first goes out at once, and the others wait behind it.
        for (int i = 0; i < pressesBefore; ++i)
            fleet.fleet.command("busy", "C05", "mqtt");
        const std::optional<HttpResponse> answer = fleet.post(path, authorization, type);
        QVERIFY(answer);
        QCOMPARE(int(answer->status), status);
        QCOMPARE(QByteArray::fromStdString(answer->contentType), "application/json");
        const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(*answer->body)).object();
        QVERIFY2(holds(body, QJsonDocument::fromJson(json).object()), answer->body->c_str());
        QCOMPARE(body.contains("error"), status >= 400);
        const bool challenged =
            std::any_of(answer->headers.begin(), answer->headers.end(), [](const auto &header) {
                return header == std::pair<std::string, std::string>{"WWW-Authenticate", "Bearer"};
            });
        QCOMPARE(challenged, status == 401);
    }

    // What a GET shows, with a press just answered already in it.
    void showsEachProjector()
    {
        Fleet fleet(ApiAccess{Token, false});
        QCOMPARE(fleet.post("/api/projectors/warming/press/power_off")->status, 202u);
        const QJsonArray list = fleet.get("/api/projectors")["projectors"].toArray();
        QCOMPARE(list.size(), 4);
        const QJsonObject warming = list[1].toObject();
        QCOMPARE(warming["name"], "warming");
        QCOMPARE(warming["group"], "front");
        QCOMPARE(warming["pending"], "power_off");
        QCOMPARE(warming["power"], "warming");
        QCOMPARE(warming["connected"], true);
        QCOMPARE(warming["values"].toObject()["power_state"], "count_down");
        QVERIFY(warming["last_reply"].toString().endsWith('Z'));
        const QJsonObject closed = fleet.get("/api/projectors/closed");
        QCOMPARE(closed["connected"], false);
        QVERIFY(closed["group"].isNull());
        QVERIFY(closed["pending"].isNull());
        QVERIFY(closed["last_reply"].isNull());
        QCOMPARE(closed["values"].toObject().size(), 0);
        QCOMPARE(fleet.get("/api/projectors/nobody")["error"], "no projector is named nobody");
        // Settled on: the held press goes out and is pending no more, once rendered.
        fleet.replies["warming"] = "00\r";
        fleet.run(Period * 2);
        QVERIFY(fleet.ports.at("warming").written.find("C01\r") != std::string::npos);
        QTRY_VERIFY(fleet.get("/api/projectors/warming")["pending"].isNull());
    }

    // A lent line shows in the projector's state, refuses presses, and shows no more once taken back.
    void showsALentLine()
    {
        Fleet fleet(ApiAccess{Token, false});
        Borrower borrower;
        QVERIFY(!fleet.fleet.lend("standby", borrower, "127.0.0.1:5000"));
        fleet.run(Period);
        const std::optional<HttpResponse> refused = fleet.post("/api/projectors/standby/press/power_on");
        QCOMPARE(refused->status, 409u);
        QVERIFY2(refused->body->find("lent to 127.0.0.1:5000") != std::string::npos, refused->body->c_str());
        const QJsonObject lent = fleet.get("/api/projectors/standby")["lent"].toObject();
        QCOMPARE(lent["to"], "127.0.0.1:5000");
        QVERIFY(lent["since"].toString().endsWith('Z'));
        QVERIFY(fleet.get("/api/projectors/warming")["lent"].isNull());
        fleet.fleet.takeBack("standby");
        QTRY_VERIFY(fleet.get("/api/projectors/standby")["lent"].isNull());
    }

    // A reader that falls behind is cut off and its text let go; one that keeps up is sent all.
    void cutsOffAReaderThatFallsBehind()
    {
        HttpStream stream;
        QVERIFY(stream.push("data: 1\n\n"));
        char buffer[64] = {};
        QCOMPARE(stream.read(buffer, sizeof buffer), 9);
        for (std::size_t sent = 0; sent + 1024 <= HttpStream::QueueLimitBytes; sent += 1024)
            QVERIFY(stream.push(std::string(1024, 'x')));
        QVERIFY(!stream.push("one more"));
        QVERIFY(!stream.open());
        QCOMPARE(stream.read(buffer, sizeof buffer), -1);
    }
};

QTEST_GUILESS_MAIN(TestFleetApi)
#include "tst_fleetapi.moc"
