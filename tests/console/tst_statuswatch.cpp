#include "console/commandlinemode.h"
#include "console/statuswatch.h"
#include "fakeserialport.h"
#include "virtualclock.h"

#include <algorithm>

#include <QTest>

using namespace std::chrono_literals;

namespace {
constexpr auto Period = 1000ms;
constexpr auto Wait = 200ms;

// A status watch of CR0 and CR3 on a fake port and the virtual clock, with what it printed and said.
struct Watch
{
    Watch()
        : watch(
              port, round, wait, reopen, [this] { return clock.now(); }, {"CR0", "CR3"}, "19200,N,8,1",
              Period, Wait,
              [this](const Exchange &exchange) {
                  reported.push_back(exchange.sent + (exchange.answered ? " " + exchange.reply : " none"));
                  return true;
              },
              [this](const std::string &text) { notices.push_back(text); },
              [this](int code, const std::string &) { exitCode = code; })
    {
    }

    void answer(const std::string &reply) { port.deliver(reply); }
    int opens() const { return int(std::count(port.log.begin(), port.log.end(), "PortOpen 1")); }

    VirtualClock clock;
    VirtualTimer &round = clock.makeTimer(Period);
    VirtualTimer &wait = clock.makeTimer(Wait);
    VirtualTimer &reopen = clock.makeTimer(StatusWatch::FirstReopenPause);
    FakeSerialPort port;
    std::vector<std::string> reported;
    std::vector<std::string> notices;
    int exitCode = -1;
    StatusWatch watch;
};
} // namespace

class TestStatusWatch : public QObject
{
    Q_OBJECT

private slots:
    // The first round is printed whole; later rounds print only what changed, a silence included, and the
    // line is quiet between rounds.
    void printsTheFirstRoundThenChanges()
    {
        Watch run;
        run.watch.start();
        run.answer("80\r");
        run.answer("01234\r");
        run.clock.advance(Period - 1ms);
        QCOMPARE(run.port.writes.size(), std::size_t(2));
        run.clock.advance(1ms);
        run.answer("80\r");
        run.answer("01235\r");
        run.clock.advance(Period);
        run.clock.advance(Wait);
        run.answer("01235\r");
        QCOMPARE(run.reported,
                 (std::vector<std::string>{"CR0 80\r", "CR3 01234\r", "CR3 01235\r", "CR0 none"}));
        QCOMPARE(run.port.writes,
                 (std::vector<std::string>{"CR0\r", "CR3\r", "CR0\r", "CR3\r", "CR0\r", "CR3\r"}));
        run.watch.stop();
        QVERIFY(!run.port.PortOpen());
        QCOMPARE(run.exitCode, CommandLineMode::AllAnswered);
        QVERIFY(run.notices.empty());
    }

    // A lost line is said once, opened again after 1, 2, 4 ... 30 s, and said again when it is back; the
    // next round prints only what changed meanwhile.
    void aLostLineIsOpenedAgainWithAGrowingPause()
    {
        Watch run;
        run.watch.start();
        run.answer("80\r");
        run.answer("01234\r");
        run.port.failingPorts.insert(1);
        run.port.lose();
        QCOMPARE(run.notices.size(), std::size_t(1));
        std::vector<int> attemptsAt;
        for (int second = 1; second <= 91; ++second) {
            const int before = run.opens();
            run.clock.advance(1s);
            if (run.opens() > before)
                attemptsAt.push_back(second);
        }
        QCOMPARE(attemptsAt, (std::vector<int>{1, 3, 7, 15, 31, 61, 91}));
        QCOMPARE(run.notices.size(), std::size_t(1));
        QVERIFY(run.port.writes.size() == 2);
        run.port.failingPorts.clear();
        run.clock.advance(30s);
        QCOMPARE(run.notices.back(), std::string("COM1 (fake) is back"));
        run.answer("00\r");
        run.answer("01234\r");
        QCOMPARE(run.reported, (std::vector<std::string>{"CR0 80\r", "CR3 01234\r", "CR0 00\r"}));
        QCOMPARE(run.exitCode, -1);
    }

    // An attempt whose server is slow to answer is one attempt however long it waits, and one that gets
    // no answer makes the pause grow as a failed open does.
    void aReopenWaitingForItsServerIsOneAttempt()
    {
        Watch run;
        run.watch.start();
        run.answer("80\r");
        run.answer("01234\r");
        run.port.connectingPorts = {1};
        run.port.lose();
        run.clock.advance(1s);
        QCOMPARE(run.opens(), 2);
        run.clock.advance(5s);
        QCOMPARE(run.opens(), 2);
        run.port.failConnecting("no answer from 127.0.0.1");
        QCOMPARE(run.notices.size(), std::size_t(1));
        run.clock.advance(2s);
        QCOMPARE(run.opens(), 3);
        run.port.connect();
        QCOMPARE(run.notices.back(), std::string("COM1 (fake) is back"));
        QCOMPARE(run.port.writes.back(), std::string("CR0\r"));
        QCOMPARE(run.exitCode, -1);
    }

    void aPortThatCannotBeOpenedAtStartEndsTheWatch()
    {
        Watch run;
        run.port.failingPorts.insert(1);
        run.watch.start();
        QCOMPARE(run.exitCode, CommandLineMode::PortFailed);
        run.clock.advance(10 * Period);
        QVERIFY(run.port.writes.empty());
    }
};

QTEST_GUILESS_MAIN(TestStatusWatch)
#include "tst_statuswatch.moc"
