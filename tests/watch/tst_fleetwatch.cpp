#include "fakeserialport.h"
#include "virtualclock.h"
#include "watch/fleetwatch.h"

#include <map>

#include <QTest>

using namespace std::chrono_literals;

namespace {
constexpr auto Period = 1000ms;
constexpr auto Wait = 200ms;
constexpr auto Step = 10ms;

// What the fleet tells, per projector.
struct Recorder : FleetObserver
{
    explicit Recorder(VirtualClock &clock) : clock(clock) {}

    void projectorAdded(const FleetProjector &projector) override
    {
        added.push_back(projector.name);
        fleetEvents.push_back("added " + projector.name);
    }
    void projectorRemoved(const std::string &projector) override
    {
        fleetEvents.push_back("removed " + projector);
    }
    void fleetRead(bool good) override { fleetEvents.push_back(good ? "read" : "refused"); }
    void lineChanged(const std::string &projector, bool connected, const std::string &) override
    {
        lines[projector].push_back(connected);
    }
    void roundEnded(const std::string &projector, bool answered) override
    {
        if (answered)
            answeredRoundsAt[projector].push_back(int(clock.now().count()));
    }
    void commanded(const std::string &projector, const Exchange &exchange) override
    {
        commands.push_back(projector + " " + exchange.sent + (exchange.answered ? " answered" : " none"));
        pressesAndExchanges.push_back("exchange " + exchange.sent);
    }
    void pressed(const std::string &projector, const std::string &from, const PressOutcome &outcome) override
    {
        presses.push_back(projector + " " + outcome.text + " from " + from);
        pressesAndExchanges.push_back("press " + outcome.text);
    }

    VirtualClock &clock;
    std::vector<std::string> added;
    std::vector<std::string> fleetEvents;
    std::map<std::string, std::vector<bool>> lines;
    std::map<std::string, std::vector<int>> answeredRoundsAt;
    std::vector<std::string> commands;
    std::vector<std::string> presses;
    std::vector<std::string> pressesAndExchanges;
};

std::vector<FleetProjector> projectors(const std::vector<std::string> &names)
{
    std::vector<FleetProjector> fleet;
    for (const std::string &name : names)
        fleet.push_back(FleetProjector{name, parseEndpoint("/dev/" + name), "19200,N,8,1", ""});
    return fleet;
}

// A fleet on fake ports and the virtual clock: "prompt" answers every query at once, "silent" never
// answers, "flood" sends bytes without end and never a CR, "closed" cannot be opened.
struct Fleet
{
    Fleet()
    {
        ports.at("closed").failingPorts.insert(1);
        fleet.addObserver(told);
        fleet.start();
    }

    // Runs the fleet for `span`, each far end doing what it does every step.
    void run(std::chrono::milliseconds span)
    {
        for (auto end = clock.now() + span; clock.now() < end;) {
            clock.advance(Step);
            FakeSerialPort &prompt = ports.at("prompt");
            while (prompt.PortOpen() && answered < prompt.writes.size()) {
                ++answered;
                prompt.deliver("80\r");
            }
            if (ports.at("flood").PortOpen())
                ports.at("flood").deliver(std::string(1000, 'A'));
        }
    }

    VirtualClock clock;
    std::map<std::string, FakeSerialPort> ports;
    std::size_t answered = 0;
    Recorder told{clock};
    std::vector<std::string> released;
    FleetWatch fleet{projectors({"prompt", "silent", "flood", "closed"}),
                     FleetPlan{{"CR0", "CR3"}, Period, Wait, 0ms},
                     [this](const FleetProjector &projector) {
                         return WatchParts{ports[projector.name],
                                           clock.makeTimer(Period),
                                           clock.makeTimer(Wait),
                                           clock.makeTimer(Period),
                                           clock.makeTimer(PressRule::HoldLimit),
                                           clock.makeTimer(StatusWatch::LentSilenceLimit)};
                     },
                     [this] { return clock.now(); },
                     [this](const std::string &projector) { released.push_back(projector); }};
};
} // namespace

class TestFleetWatch : public QObject
{
    Q_OBJECT

private slots:
    // However the others behave, a projector that answers has every round on time.
    void noProjectorDelaysAnother()
    {
        Fleet run;
        QCOMPARE(run.told.added, (std::vector<std::string>{"prompt", "silent", "flood", "closed"}));
        run.run(5 * Period);
        QCOMPARE(run.told.answeredRoundsAt["prompt"], (std::vector<int>{10, 1000, 2000, 3000, 4000, 5000}));
        QVERIFY(run.told.answeredRoundsAt["silent"].empty());
        QVERIFY(run.told.answeredRoundsAt["flood"].empty());
        // Tried at the start, then again after 1 and 2 s; each failure told.
        QCOMPARE(run.told.lines["closed"], (std::vector<bool>{false, false, false}));
        QCOMPARE(
            std::count(run.ports.at("closed").log.begin(), run.ports.at("closed").log.end(), "PortOpen 1"),
            3);
        run.fleet.stop();
        for (const auto &[name, port] : run.ports)
            QVERIFY2(!port.PortOpen(), name.c_str());
    }

    // A reload keeps an unchanged line as it is, closes one that left before any opens, and opens a
    // changed one again with what changed.
    void reloadTouchesOnlyWhatChanged()
    {
        Fleet run;
        run.run(1500ms);
        run.told.fleetEvents.clear();
        std::vector<FleetProjector> next = projectors({"prompt", "silent", "late"});
        next[1].settings = "9600,N,8,1";
        run.fleet.reload(next);
        QCOMPARE(run.told.fleetEvents,
                 (std::vector<std::string>{"removed silent", "removed flood", "removed closed",
                                           "added silent", "added late", "read"}));
        QCOMPARE(run.released, (std::vector<std::string>{"silent", "flood", "closed"}));
        QVERIFY(!run.ports.at("flood").PortOpen());
        QVERIFY(run.ports.at("silent").PortOpen());
        QVERIFY(std::count(run.ports.at("silent").log.begin(), run.ports.at("silent").log.end(),
                           "Settings 9600,N,8,1") == 1);
        QVERIFY(run.ports.at("late").PortOpen());
        run.run(2 * Period);
        // prompt's rounds went on in their own time, its line never closed.
        QCOMPARE(run.told.answeredRoundsAt["prompt"], (std::vector<int>{10, 1000, 2000, 3000}));
        QCOMPARE(run.told.lines["prompt"], std::vector<bool>{true});
        QCOMPARE(run.fleet.command("flood", "C00", "mqtt"),
                 PressOutcome::dropped("C00", "no projector is named flood",
                                       PressOutcome::Reason::UnknownProjector));
        // A file that could not be read leaves the fleet as it was.
        run.told.fleetEvents.clear();
        run.fleet.reloadRefused();
        run.fleet.reload(next);
        QCOMPARE(run.told.fleetEvents, (std::vector<std::string>{"refused", "read"}));
        QCOMPARE(run.fleet.projectors().size(), std::size_t(3));
    }

    void commandsGoToTheirProjector()
    {
        Fleet run;
        run.run(Step);
        QCOMPARE(run.fleet.command("hall-z", "C00", "mqtt"),
                 PressOutcome::dropped("C00", "no projector is named hall-z",
                                       PressOutcome::Reason::UnknownProjector));
        QCOMPARE(run.fleet.command("closed", "C00", "mqtt"),
                 PressOutcome::dropped("C00", "not connected", PressOutcome::Reason::NotConnected));
        QCOMPARE(run.fleet.command("prompt", "C00", "http 127.0.0.1"), PressOutcome::sent("C00"));
        QCOMPARE(run.fleet.command("silent", "C01", "mqtt"), PressOutcome::sent("C01"));
        // Every press of a projector in the fleet is recorded with where it came from, sent or not.
        QCOMPARE(run.told.presses,
                 (std::vector<std::string>{"closed C00 from mqtt", "prompt C00 from http 127.0.0.1",
                                           "silent C01 from mqtt"}));
        run.run(2 * Period);
        QCOMPARE(run.ports.at("prompt").writes.at(2), std::string("C00\r"));
        QCOMPARE(run.told.commands, (std::vector<std::string>{"prompt C00 answered", "silent C01 none"}));
    }

    // A press whose write the port refuses at once is told before its exchange, as every press is, so
    // that whoever matches exchanges to presses is never left with a press that waits for nothing.
    void aPressIsToldBeforeItsExchange()
    {
        Fleet run;
        run.run(Step);
        run.ports.at("prompt").refusesWrites = true;
        QCOMPARE(run.fleet.command("prompt", "C00", "mqtt"), PressOutcome::sent("C00"));
        QCOMPARE(run.told.pressesAndExchanges, (std::vector<std::string>{"press C00", "exchange C00"}));
    }
};

QTEST_GUILESS_MAIN(TestFleetWatch)
#include "tst_fleetwatch.moc"
