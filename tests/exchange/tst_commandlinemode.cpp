#include "exchange/commandlinemode.h"
#include "fakeserialport.h"
#include "virtualclock.h"

#include <set>

#include <QTest>

using namespace std::chrono_literals;

namespace {
constexpr auto Wait = 2000ms;

// The command-line mode on a fake port and the virtual clock, with what it reported and how it ended.
// Texts given are the whole input; with none, the test feeds a script as it goes.
struct Run
{
    explicit Run(const std::vector<std::string> &texts, std::string settings = "19200,N,8,1",
                 std::chrono::milliseconds gap = 0ms)
        : engine(
              port, wait, [this] { return clock.now(); }, Wait, gap),
          mode(
              port, engine, source, std::move(settings),
              [this](const Exchange &exchange) {
                  exchanges.push_back(exchange);
                  return outputWritten;
              },
              [this](ExitCode code, const std::string &text) {
                  exitCode = exitStatus(code);
                  error = text;
              })
    {
        for (const std::string &text : texts)
            source.add(text);
        if (!texts.empty())
            source.end();
    }

    CommandSource source;
    VirtualClock clock;
    VirtualTimer &wait = clock.makeTimer(Wait);
    FakeSerialPort port;
    ExchangeEngine engine;
    std::vector<Exchange> exchanges;
    bool outputWritten = true;
    int exitCode = -1;
    std::string error;
    CommandLineMode mode;
};
} // namespace

class TestCommandLineMode : public QObject
{
    Q_OBJECT

private slots:
    void opensAsStartUpDoesAndSendsOneTextAtATime()
    {
        Run run({"CR0", "C00"}, "9600,N,8,1");
        run.mode.start();
        QCOMPARE(run.port.log, (std::vector<std::string>{"CommPort 1", "Settings 9600,N,8,1", "PortOpen 1",
                                                         "Output CR0\r"}));
        run.clock.advance(30ms);
        run.port.deliver("80\r");
        QCOMPARE(run.port.writes, (std::vector<std::string>{"CR0\r", "C00\r"}));
        QCOMPARE(run.exchanges.size(), std::size_t(1));
        const Exchange &first = run.exchanges[0];
        QVERIFY(first.answered);
        QCOMPARE(first.trace, std::string(" 8 0 CR "));
        QCOMPARE(first.status, std::optional<std::string>(" Stand by"));
        QCOMPARE(first.time.count(), 30.0);
        run.port.deliver("\x06\r");
        QCOMPARE(run.exchanges.size(), std::size_t(2));
        QCOMPARE(run.exchanges[1].status, std::optional<std::string>());
        QCOMPARE(run.port.log.back(), std::string("PortOpen 0"));
        QCOMPARE(run.exitCode, int(ExitCode::AllAnswered));
    }

    // Nothing goes out, and no wait runs, before the server has answered; one that does not ends the run
    // as a missing device does.
    void theFirstTextWaitsForTheServer_data()
    {
        QTest::addColumn<bool>("answers");
        QTest::newRow("answers") << true;
        QTest::newRow("does not answer") << false;
    }
    void theFirstTextWaitsForTheServer()
    {
        QFETCH(bool, answers);
        Run run({"CR0"});
        run.port.connectingPorts = {1};
        run.mode.start();
        run.clock.advance(Wait + 1000ms);
        QVERIFY(run.exchanges.empty());
        QCOMPARE(run.exitCode, -1);
        if (!answers) {
            run.port.failConnecting("no answer from 127.0.0.1");
            QCOMPARE(run.exitCode, int(ExitCode::PortFailed));
            QCOMPARE(run.error, std::string("COM1 (fake): no answer from 127.0.0.1 (error 7)"));
            QVERIFY(run.exchanges.empty());
            return;
        }
        run.port.connect();
        QCOMPARE(run.port.writes, std::vector<std::string>{"CR0\r"});
        run.clock.advance(Wait - 1ms);
        QVERIFY(run.exchanges.empty());
        run.port.deliver("80\r");
        QCOMPARE(run.exitCode, int(ExitCode::AllAnswered));
    }

    void aReplyIsCompleteAtItsFirstCr_data()
    {
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QString>("reply");
        QTest::newRow("in one piece") << QStringList{"00\r"} << "00\r";
        QTest::newRow("in pieces") << QStringList{"0", "0", "\r"} << "00\r";
        QTest::newRow("bytes after the CR are no part of it") << QStringList{"0", "0\r2", "0\r"} << "00\r";
    }
    void aReplyIsCompleteAtItsFirstCr()
    {
        QFETCH(QStringList, pieces);
        QFETCH(QString, reply);
        Run run({"CR0"});
        run.mode.start();
        for (const QString &piece : pieces)
            run.port.deliver(piece.toStdString());
        QCOMPARE(run.exchanges.size(), std::size_t(1));
        QCOMPARE(run.exchanges[0].reply, reply.toStdString());
        QCOMPARE(run.exchanges[0].status, std::optional<std::string>(" Power ON"));
    }

    void aReplyThatDoesNotComeInTimeIsNoReply()
    {
        Run run({"CR0", "CR1"});
        run.mode.start();
        run.clock.advance(Wait - 1ms);
        QVERIFY(run.exchanges.empty());
        run.clock.advance(1ms);
        QCOMPARE(run.exchanges.size(), std::size_t(1));
        QVERIFY(!run.exchanges[0].answered);
        QCOMPARE(run.exchanges[0].trace, std::string(" X X X X"));
        QCOMPARE(run.exchanges[0].status, std::optional<std::string>(""));
        run.clock.advance(2 * Wait);
        QCOMPARE(run.exitCode, int(ExitCode::NotAllAnswered));
        // The traffic log hears of each, with the command as it went out.
        const std::string waited = " " + std::to_string(Wait.count());
        QCOMPARE(run.port.noReplies, (std::vector<std::string>{"CR0\r" + waited, "CR1\r" + waited}));
    }

    // A reply after its wait belongs to the command that timed out: the next goes out once the late reply
    // has ended and the gap has passed, or once the line has been quiet for one wait (or as long as the
    // slowest reply took), and answers only with its own reply.
    void aLateReplyIsNeverTheNextCommandsAnswer_data()
    {
        QTest::addColumn<int>("lateMs");
        QTest::addColumn<QStringList>("late");
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<int>("nextSentMs");
        QTest::newRow("a late reply ends") << 150 << QStringList{"80\r"} << 0 << 2150;
        QTest::newRow("a late reply ends, then the gap") << 150 << QStringList{"80\r"} << 300 << 2450;
        QTest::newRow("in pieces, more after its CR") << 100 << QStringList{"8", "0\r2"} << 0 << 4200;
        QTest::newRow("none comes") << 0 << QStringList{} << 0 << 4000;
        QTest::newRow("no CR comes") << 10 << QStringList{"8"} << 0 << 4010;
    }
    void aLateReplyIsNeverTheNextCommandsAnswer()
    {
        QFETCH(int, lateMs);
        QFETCH(QStringList, late);
        QFETCH(int, gapMs);
        QFETCH(int, nextSentMs);
        Run run({"CR0", "CR3"}, "19200,N,8,1", std::chrono::milliseconds(gapMs));
        run.mode.start();
        run.clock.advance(Wait + std::chrono::milliseconds(lateMs));
        QCOMPARE(run.port.writes.size(), std::size_t(1));
        for (const QString &piece : late)
            run.port.deliver(piece.toStdString());
        QCOMPARE(run.exchanges.size(), std::size_t(1));
        if (run.clock.now().count() < nextSentMs) {
            run.clock.advance(std::chrono::milliseconds(nextSentMs) - run.clock.now() - 1ms);
            QCOMPARE(run.port.writes.size(), std::size_t(1));
            run.clock.advance(1ms);
        }
        QCOMPARE(run.clock.now().count(), qint64(nextSentMs));
        QCOMPARE(run.port.writes.size(), std::size_t(2));
        run.port.deliver("01234\r");
        QCOMPARE(run.exchanges[1].reply, std::string("01234\r"));
        QCOMPARE(run.exchanges[1].time.count(), 0.0);
        QCOMPARE(run.exitCode, int(ExitCode::NotAllAnswered));
    }

    // With a gap, the next command waits that long after each reply.
    void aGapRestsTheLineAfterEachReply()
    {
        Run run({"CR0", "CR3"}, "19200,N,8,1", 300ms);
        run.mode.start();
        run.port.deliver("80\r");
        run.clock.advance(299ms);
        QCOMPARE(run.port.writes.size(), std::size_t(1));
        run.clock.advance(1ms);
        QCOMPARE(run.port.writes.size(), std::size_t(2));
    }

    // Whatever keeps coming, the reply keeps ReplyLimit bytes and the next text goes out when the wait
    // runs out; only a CR makes it an answer.
    void aReplyIsBoundedAndTheWaitIsADeadline_data()
    {
        QTest::addColumn<QByteArray>("piece");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<int>("kept");
        QTest::addColumn<int>("cut");
        QTest::addColumn<int>("ms");
        const int limit = int(ReplyLimit);
        const int waitMs = int(Wait.count());
        QTest::newRow("part of a reply when the wait runs out")
            << QByteArray("80") << 1 << false << 2 << 0 << waitMs;
        // Whole, but no reply to CR0 has that form.
        QTest::newRow("a CR past the limit")
            << QByteArray(5000, 'A') + '\r' << 1 << false << limit << 5001 - limit << 0;
        QTest::newRow("a flood without a CR, one piece a millisecond")
            << QByteArray(1000, 'A') << 3 * waitMs << false << limit << 1000 * waitMs - limit << waitMs;
    }
    void aReplyIsBoundedAndTheWaitIsADeadline()
    {
        QFETCH(QByteArray, piece);
        QFETCH(int, pieces);
        QFETCH(bool, answered);
        QFETCH(int, kept);
        QFETCH(int, cut);
        QFETCH(int, ms);
        Run run({"CR0", "C00"});
        run.mode.start();
        for (int i = 0; i < pieces; ++i) {
            run.port.deliver(piece.toStdString());
            run.clock.advance(1ms);
        }
        run.clock.advance(4 * Wait);
        QVERIFY(!run.exchanges.empty());
        const Exchange &first = run.exchanges[0];
        QCOMPARE(first.answered, answered);
        QCOMPARE(first.reply, piece.repeated(pieces).left(kept).toStdString());
        QCOMPARE(int(first.cut), cut);
        QVERIFY(first.trace != " X X X X");
        // Part of a reply is not decoded, and no row knows a flood.
        QCOMPARE(first.status, std::optional<std::string>(""));
        QCOMPARE(first.time.count(), double(ms));
        QCOMPARE(run.port.writes, (std::vector<std::string>{"CR0\r", "C00\r"}));
        QCOMPARE(run.exitCode, int(ExitCode::NotAllAnswered));
    }

    void anOutputThatCannotBeWrittenEndsTheRunWithFive_data()
    {
        QTest::addColumn<bool>("lost");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("error");
        QTest::newRow("the first line") << false << int(ExitCode::WriteFailed)
                                        << "the output could not be written; stopped after 1 of 2 commands";
        QTest::newRow("a lost port tells more")
            << true << int(ExitCode::PortFailed) << "COM1 (fake): the connection was lost (error 6)";
    }
    void anOutputThatCannotBeWrittenEndsTheRunWithFive()
    {
        QFETCH(bool, lost);
        QFETCH(int, exitCode);
        QFETCH(QString, error);
        Run run({"CR0", "C00"});
        run.outputWritten = false;
        run.mode.start();
        if (lost)
            run.port.lose();
        else
            run.port.deliver("80\r");
        run.clock.advance(10 * Wait);
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.error, error.toStdString());
        QCOMPARE(run.exchanges.size(), std::size_t(1));
        QCOMPARE(run.port.writes, std::vector<std::string>{"CR0\r"});
        QVERIFY(!run.port.PortOpen());
    }

    // Every text given to the engine is reported once, whether it was on the line, waiting for a late
    // reply, or refused by the port.
    void aPortThatFailsEndsTheRunWithThree_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<int>("reported");
        QTest::addColumn<QString>("error");
        const QString lost = "COM1 (fake): the connection was lost (error 6)";
        QTest::newRow("at the open") << "open" << 0 << "COM1 (fake): no such device (error 1)";
        QTest::newRow("lost midway") << "lost" << 1 << lost;
        QTest::newRow("lost while the next waits for a late reply") << "late" << 2 << lost;
        QTest::newRow("a write refused")
            << "write" << 1 << "COM1 (fake): the line is not taking data (error 10)";
    }
    void aPortThatFailsEndsTheRunWithThree()
    {
        QFETCH(QString, failure);
        QFETCH(int, reported);
        QFETCH(QString, error);
        Run run({"CR0", "CR1"});
        run.port.failingPorts = failure == "open" ? std::set<int>{1} : std::set<int>{};
        run.port.refusesWrites = failure == "write";
        run.mode.start();
        if (failure == "late")
            run.clock.advance(Wait);
        if (failure == "lost" || failure == "late")
            run.port.lose();
        run.clock.advance(10 * Wait);
        QCOMPARE(run.exitCode, int(ExitCode::PortFailed));
        QCOMPARE(run.error, error.toStdString());
        QCOMPARE(int(run.exchanges.size()), reported);
        QCOMPARE(run.port.writes.size(), std::size_t(failure == "lost" || failure == "late" ? 1 : 0));
    }

    // A script's bytes in the pieces they arrive in, each command answered as it goes out. Bytes, not text:
    // a QString would drop a leading byte-order mark.
    void aScriptSendsItsLines_data()
    {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QByteArrayList>("sent");
        QTest::newRow("comments and blank lines skipped")
            << QByteArrayList{"# power\n\nCR0\n", "\r\n", " \t# after blanks\n", " \t \n", "C00 # kept\n"}
            << QByteArrayList{"CR0\r", "C00 # kept\r"};
        QTest::newRow("CRLF lines") << QByteArrayList{"CR0\r\nC00\r\n"} << QByteArrayList{"CR0\r", "C00\r"};
        QTest::newRow("CRLF in two pieces")
            << QByteArrayList{"CR0\r", "\nC00\r\n"} << QByteArrayList{"CR0\r", "C00\r"};
        QTest::newRow("a lone CR ends a line")
            << QByteArrayList{"CR0\rCR3\r"} << QByteArrayList{"CR0\r", "CR3\r"};
        QTest::newRow("blanks around a command kept")
            << QByteArrayList{" CR0 \n"} << QByteArrayList{" CR0 \r"};
        QTest::newRow("a byte-order mark at the start")
            << QByteArrayList{"\xEF\xBB\xBF", "CR0\n\xEF\xBB\xBF#\n"}
            << QByteArrayList{"CR0\r", "\xEF\xBB\xBF#\r"};
        QTest::newRow("a line in pieces")
            << QByteArrayList{"C", "R", "0\nC0", "0\n"} << QByteArrayList{"CR0\r", "C00\r"};
        QTest::newRow("the last line without its line feed")
            << QByteArrayList{"CR0\nCR1"} << QByteArrayList{"CR0\r", "CR1\r"};
        QTest::newRow("nothing to send") << QByteArrayList{"# only a comment\n"} << QByteArrayList{};
    }
    void aScriptSendsItsLines()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(QByteArrayList, sent);
        Run run({});
        run.mode.start();
        const auto answer = [&run] {
            while (run.exchanges.size() < run.port.writes.size())
                run.port.deliver(run.port.writes[run.exchanges.size()] == "CR1\r" ? "1\r" : "00\r");
        };
        for (const QByteArray &piece : pieces) {
            run.source.feed(piece.toStdString());
            answer();
        }
        QCOMPARE(run.exitCode, -1);
        run.source.end();
        answer();
        QCOMPARE(run.port.writes.size(), std::size_t(sent.size()));
        for (int i = 0; i < sent.size(); ++i)
            QCOMPARE(run.port.writes[std::size_t(i)], sent[i].toStdString());
        QCOMPARE(run.exitCode, int(ExitCode::AllAnswered));
        QVERIFY(!run.port.PortOpen());
    }

    // A line that comes while a reply is awaited waits for it; one that comes to an idle line goes at once,
    // however late; the end of input ends the run only after the last reply.
    void scriptLinesArriveOverTime()
    {
        Run run({});
        run.mode.start();
        run.source.feed("CR0\nCR1\n");
        QCOMPARE(run.port.writes, std::vector<std::string>{"CR0\r"});
        run.port.deliver("80\r");
        run.port.deliver("1\r");
        run.clock.advance(100 * Wait);
        QCOMPARE(run.exitCode, -1);
        QVERIFY(run.port.PortOpen());
        run.source.feed("C00\n");
        QCOMPARE(run.port.writes.back(), std::string("C00\r"));
        run.source.end();
        QCOMPARE(run.exitCode, -1);
        run.clock.advance(Wait);
        QCOMPARE(run.exchanges.size(), std::size_t(3));
        QCOMPARE(run.exitCode, int(ExitCode::NotAllAnswered));
        QVERIFY(!run.port.PortOpen());
    }

    void aScriptLineOverTheLimitStopsTheRun_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("at the limit") << int(CommandSource::LineLimitBytes) << int(ExitCode::AllAnswered);
        QTest::newRow("past it") << int(CommandSource::LineLimitBytes) + 1 << int(ExitCode::BadInput);
    }
    void aScriptLineOverTheLimitStopsTheRun()
    {
        QFETCH(int, length);
        QFETCH(int, exitCode);
        Run run({});
        run.mode.start();
        run.source.feed("CR0\n" + std::string(std::size_t(length), 'A'));
        run.source.feed("\nC00\n");
        run.source.end();
        for (int i = 0; i < 3 && run.exitCode == -1; ++i)
            run.port.deliver("00\r");
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.port.writes.size(), std::size_t(exitCode == int(ExitCode::BadInput) ? 1 : 3));
        if (exitCode == int(ExitCode::BadInput))
            QCOMPARE(run.error,
                     "line 2 of the script is longer than " + std::to_string(length - 1) + " bytes");
    }

    // A refusal is an answer; it says more than a missing reply and less than a failed port.
    void aRefusalEndsTheRunWithFour_data()
    {
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<bool>("lost");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("one refused") << QStringList{"?\r", "\x06\r"} << false << int(ExitCode::SomeRefused);
        QTest::newRow("refused wins over no reply")
            << QStringList{"?\r", ""} << false << int(ExitCode::SomeRefused);
        QTest::newRow("a ? with more is an answer")
            << QStringList{"?0\r", "\x06\r"} << false << int(ExitCode::AllAnswered);
        QTest::newRow("a lost port wins") << QStringList{"?\r"} << true << int(ExitCode::PortFailed);
    }
    void aRefusalEndsTheRunWithFour()
    {
        QFETCH(QStringList, replies);
        QFETCH(bool, lost);
        QFETCH(int, exitCode);
        Run run({"XYZ", "C00"});
        run.mode.start();
        for (const QString &reply : replies)
            run.port.deliver(reply.toStdString());
        if (lost)
            run.port.lose();
        run.clock.advance(Wait);
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.exchanges[0].refused, replies[0] == "?\r");
        QCOMPARE(run.exchanges[0].port, std::string("COM1 (fake)"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLineMode)
#include "tst_commandlinemode.moc"
