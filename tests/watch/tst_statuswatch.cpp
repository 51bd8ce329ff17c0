#include "exchange/exitcode.h"
#include "fakeserialport.h"
#include "virtualclock.h"
#include "watch/statuswatch.h"
#include "wire/decodingtables.h"
#include "wire/statusqueries.h"

#include <algorithm>
#include <map>

#include <QTest>

using namespace std::chrono_literals;

namespace {
constexpr auto Period = 1000ms;
constexpr auto Wait = 200ms;

// What a watch tells, one line per call.
struct Recorder : FleetObserver
{
    void lineChanged(const std::string &, bool connected, const std::string &reason) override
    {
        lines.push_back((connected ? "open: " : "lost: ") + reason);
    }
    void exchanged(const std::string &, const Exchange &exchange, bool changed) override
    {
        every.push_back(exchange);
        if (changed)
            reported.push_back(exchange.sent + (exchange.answered ? " " + exchange.reply : " none"));
    }
    void roundEnded(const std::string &, bool answered) override { rounds.push_back(answered); }
    void commanded(const std::string &, const Exchange &exchange) override
    {
        commands.push_back(exchange.sent + (exchange.answered ? " " + exchange.reply : " none"));
    }
    void powerChanged(const std::string &, PowerState state) override
    {
        powers.emplace_back(powerStateName(state));
    }
    void heldPressEnded(const std::string &, const PressOutcome &outcome) override
    {
        ended.push_back(outcome.text + ": " + outcome.detail);
    }
    void lineLent(const std::string &, const std::string &to) override { lent.push_back(to); }

    std::vector<std::string> lines;
    std::vector<Exchange> every;
    std::vector<std::string> reported;
    std::vector<bool> rounds;
    std::vector<std::string> commands;
    std::vector<std::string> powers;
    std::vector<std::string> ended;
    std::vector<std::string> lent;
};

// A console the line is lent to: what it was given, and why it lost the line.
struct Borrower : LineBorrower
{
    void handedOver() override { handed = true; }
    void received(const std::string &bytes) override { got += bytes; }
    void takenBack(const std::string &why) override { whyBack = why; }

    bool handed = false;
    std::string got;
    std::string whyBack;
};
const std::string Client = "127.0.0.1:5000";

// A status watch of CR0 and CR3 on a fake port and the virtual clock, with what it told.
struct Watch
{
    explicit Watch(std::chrono::milliseconds gap = 0ms)
        : engine(
              port, wait, [this] { return clock.now(); }, Wait, gap)
    {
    }

    void answer(const std::string &reply) { port.deliver(reply); }
    int opens() const { return int(std::count(port.log.begin(), port.log.end(), "PortOpen 1")); }
    // The seconds, from now, at which the line is opened again over `span`.
    std::vector<int> openingsOver(std::chrono::seconds span)
    {
        std::vector<int> at;
        for (int second = 1; second <= span.count(); ++second) {
            const int before = opens();
            clock.advance(1s);
            if (opens() > before)
                at.push_back(second);
        }
        return at;
    }

    VirtualClock clock;
    VirtualTimer &round = clock.makeTimer(Period);
    VirtualTimer &wait = clock.makeTimer(Wait);
    VirtualTimer &reopen = clock.makeTimer(StatusWatch::FirstReopenPause);
    VirtualTimer &hold = clock.makeTimer(PressRule::HoldLimit);
    VirtualTimer &silence = clock.makeTimer(StatusWatch::LentSilenceLimit);
    FakeSerialPort port;
    Recorder told;
    ExchangeEngine engine;
    StatusWatch watch{"hall-a", port, engine,  round,
                      reopen,   hold, silence, WatchPlan{{"CR0", "CR3"}, "19200,N,8,1", Period},
                      told};
};
// Each status query's reply from a sound projector.
const std::map<std::string, std::string> OwnReplies = {{"CR0\r", "00\r"},
                                                       {"CR1\r", "1\r"},
                                                       {"CR3\r", "01234\r"},
                                                       {"CR4\r", "11\r"},
                                                       {"CR6\r", "00038 00041 00036\r"},
                                                       {"CR7\r", "03\r"},
                                                       {"CR9\r", "READY\r"},
                                                       {"CRA\r", "00\r"},
                                                       {"CR PRESSURE\r", "853\r"}};

// A watch of every status query on the virtual clock, and a projector on its fake port that sends each
// query's reply `copies` times: the first `delay` after the query, each copy `copyGap` after the last.
struct PeerRun
{
    PeerRun(std::chrono::milliseconds replyWait, std::chrono::milliseconds delay, int copies,
            std::chrono::milliseconds copyGap)
        : wait(clock.makeTimer(replyWait)), engine(
                                                port, wait, [this] { return clock.now(); }, replyWait)
    {
        for (std::size_t i = 0; i < std::size_t(copies); ++i)
            offsets.push_back(delay + copyGap * int(i));
        watch.start();
    }

    void run(std::chrono::milliseconds span)
    {
        for (const auto end = clock.now() + span; clock.now() < end;) {
            clock.advance(Step);
            for (; heard < port.writes.size(); ++heard) {
                for (const std::chrono::milliseconds offset : offsets)
                    due.emplace(clock.now() + offset, OwnReplies.at(port.writes[heard]));
            }
            for (; !due.empty() && due.begin()->first <= clock.now(); due.erase(due.begin()))
                port.deliver(due.begin()->second);
        }
    }
    std::size_t asked(const std::string &query) const
    {
        return std::size_t(std::count(port.writes.begin(), port.writes.end(), query));
    }

    static constexpr auto Step = 10ms;
    std::vector<std::chrono::milliseconds> offsets;
    std::multimap<std::chrono::milliseconds, std::string> due;
    std::size_t heard = 0;
    VirtualClock clock;
    VirtualTimer &round = clock.makeTimer(Period);
    VirtualTimer &wait;
    VirtualTimer &reopen = clock.makeTimer(StatusWatch::FirstReopenPause);
    VirtualTimer &hold = clock.makeTimer(PressRule::HoldLimit);
    VirtualTimer &silence = clock.makeTimer(StatusWatch::LentSilenceLimit);
    FakeSerialPort port;
    Recorder told;
    ExchangeEngine engine;
    StatusWatch watch{
        "hall-a", port,
        engine,   round,
        reopen,   hold,
        silence,  WatchPlan{{StatusQueries.begin(), StatusQueries.end()}, "19200,N,8,1", Period},
        told};
};
} // namespace

class TestStatusWatch : public QObject
{
    Q_OBJECT

private slots:
    // The first round is told whole; later rounds tell only what changed, a silence included, and the
    // line is quiet between rounds.
    void tellsTheFirstRoundThenChanges()
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
        run.clock.advance(ExchangeEngine::SettleQuiet);
        run.answer("01235\r");
        QCOMPARE(run.told.reported,
                 (std::vector<std::string>{"CR0 80\r", "CR3 01234\r", "CR3 01235\r", "CR0 none"}));
        QCOMPARE(run.port.writes,
                 (std::vector<std::string>{"CR0\r", "CR3\r", "CR0\r", "CR3\r", "CR0\r", "CR3\r"}));
        QCOMPARE(run.told.rounds, (std::vector<bool>{true, true, true}));
        QCOMPARE(run.told.lines, std::vector<std::string>{"open: COM1 (fake) is open"});
        run.watch.stop();
        QVERIFY(!run.port.PortOpen());
    }

    // However late or often a projector replies, no reply is taken for another query's answer, and every
    // query is asked in every round, a round longer than the period included.
    void noReplyIsEverAnotherQuerys_data()
    {
        QTest::addColumn<int>("waitMs");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("copies");
        QTest::addColumn<int>("copyGapMs");
        QTest::addColumn<bool>("allAnswered");
        QTest::newRow("answers in 300 ms, rounds longer than the period") << 500 << 300 << 1 << 0 << true;
        QTest::newRow("replies after twice the wait") << 500 << 1200 << 1 << 0 << false;
        QTest::newRow("replies after the wait and the quiet") << 500 << 1600 << 1 << 0 << false;
        QTest::newRow("replies long after the wait and the quiet") << 500 << 2500 << 1 << 0 << false;
        QTest::newRow("every reply twice at once") << 500 << 20 << 2 << 0 << false;
        QTest::newRow("every reply twice, 30 ms apart") << 500 << 20 << 2 << 30 << false;
    }
    void noReplyIsEverAnotherQuerys()
    {
        QFETCH(int, waitMs);
        QFETCH(int, delayMs);
        QFETCH(int, copies);
        QFETCH(int, copyGapMs);
        QFETCH(bool, allAnswered);
        PeerRun run(std::chrono::milliseconds(waitMs), std::chrono::milliseconds(delayMs), copies,
                    std::chrono::milliseconds(copyGapMs));
        run.run(60s);
        for (const Exchange &exchange : run.told.every) {
            QVERIFY2(!exchange.answered || exchange.reply == OwnReplies.at(exchange.sent + "\r"),
                     (exchange.sent + " took " + exchange.trace).c_str());
        }
        const std::size_t rounds = run.told.rounds.size();
        QVERIFY(rounds >= 2);
        for (const std::string_view query : StatusQueries) {
            const std::size_t asked = run.asked(std::string(query) + "\r");
            QVERIFY2(asked == rounds || asked == rounds + 1, std::string(query).c_str());
        }
        QCOMPARE(std::all_of(run.told.every.begin(), run.told.every.end(),
                             [](const Exchange &exchange) { return exchange.answered; }),
                 allAnswered);
        QCOMPARE(run.engine.droppedBytes() > 0, !allAnswered);
    }

    // A lost line is told once, opened again after 1, 2, 4 ... 30 s, and told again when it is back; the
    // first round after it is told whole again, as at the start, unchanged answers included.
    void aLostLineIsOpenedAgainWithAGrowingPause()
    {
        Watch run;
        run.watch.start();
        run.answer("80\r");
        run.answer("01234\r");
        run.port.failingPorts.insert(1);
        run.port.lose();
        QCOMPARE(run.told.lines.back(), std::string("lost: COM1 (fake): the connection was lost (error 6)"));
        QCOMPARE(run.openingsOver(91s), (std::vector<int>{1, 3, 7, 15, 31, 61, 91}));
        QCOMPARE(run.port.writes.size(), std::size_t(2));
        run.port.failingPorts.clear();
        run.clock.advance(30s);
        QCOMPARE(run.told.lines.back(), std::string("open: COM1 (fake) is back"));
        run.answer("00\r");
        run.answer("01234\r");
        QCOMPARE(run.told.reported,
                 (std::vector<std::string>{"CR0 80\r", "CR3 01234\r", "CR0 00\r", "CR3 01234\r"}));
        run.clock.advance(Period);
        run.answer("00\r");
        run.answer("01234\r");
        QCOMPARE(run.told.reported.size(), std::size_t(4));
    }

    // A server that takes the connection and then drops it, or never answers, is not reconnected every
    // second: the pause starts again from 1 s only after a round that was answered.
    void thePauseStartsAgainOnlyAfterAnAnsweredRound_data()
    {
        QTest::addColumn<bool>("answers");
        QTest::addColumn<QList<int>>("openings");
        QTest::newRow("dropped before any answer") << false << QList<int>{1, 3, 7, 15};
        QTest::newRow("dropped after an answered round")
            << true << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    }
    void thePauseStartsAgainOnlyAfterAnAnsweredRound()
    {
        QFETCH(bool, answers);
        QFETCH(QList<int>, openings);
        Watch run;
        run.watch.start();
        std::vector<int> at;
        for (int second = 1; second <= 15; ++second) {
            if (answers && run.port.PortOpen()) {
                run.answer("80\r");
                run.answer("01234\r");
            }
            if (run.port.PortOpen())
                run.port.lose();
            const int before = run.opens();
            run.clock.advance(1s);
            if (run.opens() > before)
                at.push_back(second);
        }
        QCOMPARE(QList<int>(at.begin(), at.end()), openings);
    }

    // An open that waits for its server starts the rounds once it answers; one that gets no answer is
    // tried again after the pause, as a failed open is.
    void anOpenThatCompletesLater()
    {
        Watch run;
        run.port.connectingPorts = {1};
        run.watch.start();
        run.clock.advance(5 * Period);
        QVERIFY(run.port.writes.empty());
        run.port.failConnecting("no answer from 127.0.0.1");
        QCOMPARE(run.told.lines,
                 std::vector<std::string>{"lost: COM1 (fake): no answer from 127.0.0.1 (error 7)"});
        run.clock.advance(StatusWatch::FirstReopenPause);
        QCOMPARE(run.opens(), 2);
        run.clock.advance(5 * Period);
        QCOMPARE(run.opens(), 2);
        run.port.connect();
        QCOMPARE(run.port.writes, std::vector<std::string>{"CR0\r"});
        QCOMPARE(run.told.lines.back(), std::string("open: COM1 (fake) is open"));
    }

    // Commands from outside go out one at a time before the next query, never in the middle of an
    // exchange; at most CommandsWaitingLimit wait, and each is told what came of it, sent or not.
    void commandsWaitTheirTurn()
    {
        Watch run;
        QCOMPARE(run.watch.command("C00"),
                 PressOutcome::dropped("C00", "not connected", PressOutcome::Reason::NotConnected));
        run.watch.start();
        QCOMPARE(run.watch.command("C00"), PressOutcome::sent("C00"));
        QCOMPARE(run.port.writes, std::vector<std::string>{"CR0\r"});
        run.answer("80\r");
        QCOMPARE(run.port.writes.back(), std::string("C00\r"));
        run.answer("\x06\r");
        QCOMPARE(run.told.commands, std::vector<std::string>{"C00 \x06\r"});
        QCOMPARE(run.port.writes.back(), std::string("CR3\r"));
        for (std::size_t i = 0; i < StatusWatch::CommandsWaitingLimit; ++i) {
            const std::string text = "C1" + std::to_string(i % 10);
            QCOMPARE(run.watch.command(text), PressOutcome::sent(text));
        }
        QCOMPARE(run.watch.command("C1A"), PressOutcome::dropped("C1A", "16 commands are already waiting",
                                                                 PressOutcome::Reason::QueueFull));
        run.answer("01234\r");
        QCOMPARE(run.port.writes.back(), std::string("C10\r"));
        run.port.lose();
        QCOMPARE(run.told.commands.size(), std::size_t(1 + StatusWatch::CommandsWaitingLimit));
        QCOMPARE(run.told.commands.back(), std::string("C15 none"));
        QCOMPARE(run.watch.command("C00"),
                 PressOutcome::dropped("C00", "not connected", PressOutcome::Reason::NotConnected));
    }

    // A row added to CR0's decoding table without a power state would leave that answer unknown.
    void everyOperatingStateHasAPowerState()
    {
        for (const DecodingRow &row : findDecodingTable("CR0")->rows)
            QVERIFY2(powerStateOfKey(row.key), row.name.data());
    }

    // A power press is sent, held or answered by the state CR0 last showed; other presses always go.
    void powerPressesFollowTheState_data()
    {
        QTest::addColumn<QByteArray>("cr0");
        QTest::addColumn<QByteArray>("press");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("detail");
        using Kind = PressOutcome::Kind;
        QTest::newRow("on while cooling")
            << QByteArray("20") << QByteArray("C00") << int(Kind::Held) << QByteArray();
        QTest::newRow("off while warming")
            << QByteArray("40") << QByteArray("C01") << int(Kind::Held) << QByteArray();
        QTest::newRow("on while on") << QByteArray("00") << QByteArray("C00") << int(Kind::Already)
                                     << QByteArray("on");
        QTest::newRow("off in standby")
            << QByteArray("80") << QByteArray("C01") << int(Kind::Already) << QByteArray("standby");
        QTest::newRow("on in standby")
            << QByteArray("80") << QByteArray("C00") << int(Kind::Sent) << QByteArray();
        QTest::newRow("off while on")
            << QByteArray("00") << QByteArray("C01") << int(Kind::Sent) << QByteArray();
        QTest::newRow("off while cooling")
            << QByteArray("20") << QByteArray("C01") << int(Kind::Sent) << QByteArray();
        QTest::newRow("on after a lamp failure")
            << QByteArray("21") << QByteArray("C00") << int(Kind::Sent) << QByteArray();
        QTest::newRow("on, state refused")
            << QByteArray("?") << QByteArray("C00") << int(Kind::Sent) << QByteArray();
        QTest::newRow("input while cooling")
            << QByteArray("20") << QByteArray("C07") << int(Kind::Sent) << QByteArray();
    }
    void powerPressesFollowTheState()
    {
        QFETCH(QByteArray, cr0);
        QFETCH(QByteArray, press);
        QFETCH(int, kind);
        QFETCH(QByteArray, detail);
        Watch run;
        run.watch.start();
        run.answer(cr0.toStdString() + "\r");
        const PressOutcome outcome = run.watch.command(press.toStdString());
        QCOMPARE(int(outcome.kind), kind);
        QCOMPARE(QByteArray::fromStdString(outcome.detail), detail);
        run.answer("01234\r");
        QCOMPARE(run.port.writes.back() == press.toStdString() + "\r", kind == int(PressOutcome::Kind::Sent));
    }

    // Power off while warming goes out at the first CR0 answer that shows the projector on.
    void aHeldPressGoesOutWhenTheProjectorSettles()
    {
        Watch run;
        run.watch.start();
        run.answer("40\r");
        run.answer("01234\r");
        QCOMPARE(run.watch.command("C01"), PressOutcome::held("C01"));
        run.clock.advance(Period);
        run.answer("40\r");
        run.answer("01234\r");
        run.clock.advance(Period);
        run.answer("00\r");
        run.answer("\x06\r");
        QCOMPARE(run.port.writes,
                 (std::vector<std::string>{"CR0\r", "CR3\r", "CR0\r", "CR3\r", "CR0\r", "C01\r", "CR3\r"}));
        QCOMPARE(run.told.commands, std::vector<std::string>{"C01 \x06\r"});
        QCOMPARE(run.told.powers, (std::vector<std::string>{"warming", "on"}));
        QVERIFY(run.told.ended.empty());
    }

    // A held press is replaced by a newer one, and dropped, with a word, once held HoldLimit; a
    // projector that stops answering meanwhile is unreachable.
    void aHeldPressIsDroppedAfterItsLimit()
    {
        Watch run;
        run.watch.start();
        run.answer("20\r");
        QCOMPARE(run.watch.command("C00"), PressOutcome::held("C00"));
        QCOMPARE(run.watch.command("C00"), PressOutcome::held("C00"));
        run.clock.advance(PressRule::HoldLimit - 1ms);
        QCOMPARE(run.told.ended, std::vector<std::string>{"C00: a newer power press replaced it"});
        run.clock.advance(1ms);
        QCOMPARE(run.told.ended.back(),
                 std::string("C00: it was held 10 minutes and the projector did not settle"));
        QCOMPARE(std::count(run.port.writes.begin(), run.port.writes.end(), "C00\r"), 0);
        QCOMPARE(run.told.powers, (std::vector<std::string>{"cooling", "unreachable"}));
    }

    // A command the engine holds when the line fails, waiting for a late reply or the gap or refused by
    // the port, is told as not answered, so that whoever gave it is never left waiting.
    void aCommandHeldWhenTheLineFailsIsTold_data()
    {
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("line");
        const QString lost = "lost: COM1 (fake): the connection was lost (error 6)";
        QTest::newRow("waiting for a late reply") << "late" << lost;
        QTest::newRow("resting the gap") << "gap" << lost;
        QTest::newRow("refused by the port") << "refused"
                                             << "lost: COM1 (fake): the line is not taking data (error 10)";
    }
    void aCommandHeldWhenTheLineFailsIsTold()
    {
        QFETCH(QString, held);
        QFETCH(QString, line);
        Watch run(held == "gap" ? 300ms : 0ms);
        run.watch.start();
        // Given while CR0 is on the line, the command goes to the engine once CR0 is over.
        QCOMPARE(run.watch.command("C00"), PressOutcome::sent("C00"));
        run.port.refusesWrites = held == "refused";
        if (held == "late")
            run.clock.advance(Wait);
        else
            run.answer("80\r");
        if (held != "refused")
            run.port.lose();
        QCOMPARE(run.told.lines.back(), line.toStdString());
        QCOMPARE(run.told.commands, std::vector<std::string>{"C00 none"});
        QCOMPARE(run.port.writes, std::vector<std::string>{"CR0\r"});
    }

    // Lent while its query is on the line, the line is handed over once that is answered; from then on
    // only the borrower's bytes go out, every byte that comes is the borrower's, presses are refused, and
    // a slow line takes no more than its backlog.
    void aLentLineCarriesOnlyTheBorrowersBytes()
    {
        Watch run;
        run.watch.start();
        QCOMPARE(run.watch.command("C01"), PressOutcome::sent("C01"));
        Borrower borrower;
        QCOMPARE(run.watch.lend(borrower, Client), std::nullopt);
        QCOMPARE(run.watch.command("C00").detail, "the line is lent to " + Client);
        QCOMPARE(run.watch.lentOutput("C3A\r"), std::size_t(0));
        run.answer("80\r");
        QVERIFY(!borrower.handed);
        run.answer("\r");
        QVERIFY(borrower.handed);
        QCOMPARE(run.port.written, std::string("CR0\rC01\r"));
        QCOMPARE(run.watch.lentOutput("C3A\rC3A\r"), std::size_t(8));
        run.answer("?\xff\r\r");
        run.clock.advance(5 * Period);
        QCOMPARE(run.port.written, std::string("CR0\rC01\rC3A\rC3A\r"));
        QCOMPARE(borrower.got, "?\xff\r\r");
        QCOMPARE(run.told.commands, std::vector<std::string>{"C01 \r"});
        Borrower other;
        QCOMPARE(run.watch.lend(other, "127.0.0.1:5001"), "the line is lent to " + Client);
        run.port.outBuffer = StatusWatch::LentBacklogBytes - 2;
        QCOMPARE(run.watch.lentOutput("C3A\r"), std::size_t(2));
        QCOMPARE(run.told.lent, std::vector<std::string>{Client});
    }

    // However the loan ends, the watch's rounds go on, but only once the line has been quiet, so that no
    // reply the borrower asked for is taken for a query.
    void theRoundsGoOnAfterALoan_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("why");
        QTest::newRow("given back") << "back"
                                    << "";
        QTest::newRow("silent") << "silent"
                                << "silent for 10 minutes";
        QTest::newRow("line lost") << "lost"
                                   << "COM1 (fake): the connection was lost (error 6)";
    }
    void theRoundsGoOnAfterALoan()
    {
        QFETCH(QString, end);
        QFETCH(QString, why);
        Watch run;
        run.watch.start();
        Borrower borrower;
        QCOMPARE(run.watch.lend(borrower, Client), std::nullopt);
        run.answer("80\r");
        run.clock.advance(StatusWatch::LentSilenceLimit - 1min);
        // Bytes from the borrower put off the silence's end.
        QCOMPARE(run.watch.lentOutput("CR0\r"), std::size_t(4));
        run.clock.advance(2min);
        QCOMPARE(borrower.whyBack, std::string());
        if (end == "back")
            run.watch.takeBack();
        else if (end == "silent")
            run.clock.advance(StatusWatch::LentSilenceLimit - 2min);
        else
            run.port.lose();
        QCOMPARE(QString::fromStdString(borrower.whyBack), why);
        QCOMPARE(run.told.lent, (std::vector<std::string>{Client, ""}));
        // The borrower's late reply is no query's answer.
        run.answer("00\r");
        const std::size_t before = run.port.writes.size();
        run.clock.advance(ExchangeEngine::SettleQuiet - 1ms);
        QCOMPARE(run.port.writes.size(), before);
        run.clock.advance(Period);
        QCOMPARE(run.port.writes.size(), before + 1);
        QCOMPARE(run.port.writes.back(), std::string("CR0\r"));
    }
};

QTEST_GUILESS_MAIN(TestStatusWatch)
#include "tst_statuswatch.moc"
