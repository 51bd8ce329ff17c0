#include "simulator/projector.h"

#include <algorithm>

#include <QTest>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::string)

namespace {
const std::string Ack{"\x06\r"};

// Everything sent back for some bytes, the pieces joined.
std::string joined(const std::vector<Answer> &answers)
{
    std::string all;
    for (const Answer &answer : answers)
        for (const Transmission &piece : answer.pieces)
            all += piece.bytes;
    return all;
}

// A projector brought into a state by its own commands, the clock at `now` after them.
struct Driven
{
    explicit Driven(const std::string &state)
    {
        if (state == "standby")
            return;
        projector.answer("C00", 0ms);
        if (state == "count down")
            return;
        now = SimulatorOptions::DefaultWarmUp;
        if (state == "on")
            return;
        projector.answer("C01", now);
        if (state == "cooling down")
            return;
        qFatal("no state %s", state.c_str());
    }
    Projector projector;
    std::chrono::milliseconds now{0};
};
} // namespace

// The simulated projector's state machine and its line, on an explicit clock.
class TestProjector : public QObject
{
    Q_OBJECT

private slots:
    void eachQueryAnswersForTheState_data()
    {
        QTest::addColumn<std::string>("state");
        QTest::addColumn<std::string>("query");
        QTest::addColumn<std::string>("reply");
        const std::pair<const char *, const char *> power[] = {
            {"standby", "80\r"}, {"count down", "40\r"}, {"on", "00\r"}, {"cooling down", "20\r"}};
        for (const auto &[state, reply] : power)
            QTest::addRow("CR0 %s", state) << std::string(state) << std::string("CR0") << std::string(reply);
        QTest::newRow("CR1 at start") << std::string("standby") << std::string("CR1") << std::string("1\r");
        QTest::newRow("CR3 at start")
            << std::string("standby") << std::string("CR3") << std::string("01234\r");
        QTest::newRow("CR4") << std::string("on") << std::string("CR4") << std::string("11\r");
        QTest::newRow("CR6 standby") << std::string("standby") << std::string("CR6")
                                     << std::string("025.0 024.5 023.0\r");
        QTest::newRow("CR6 on") << std::string("on") << std::string("CR6")
                                << std::string("038.5 041.0 036.0\r");
        QTest::newRow("CR6 cooling") << std::string("cooling down") << std::string("CR6")
                                     << std::string("032.0 035.5 030.5\r");
        QTest::newRow("CR7 standby") << std::string("standby") << std::string("CR7") << std::string("00\r");
        QTest::newRow("CR7 count down")
            << std::string("count down") << std::string("CR7") << std::string("03\r");
        QTest::newRow("CR7 cooling") << std::string("cooling down") << std::string("CR7")
                                     << std::string("00\r");
        QTest::newRow("CRA standby") << std::string("standby") << std::string("CRA") << std::string("FF\r");
        QTest::newRow("CRA on") << std::string("on") << std::string("CRA") << std::string("00\r");
        QTest::newRow("pressure") << std::string("standby") << std::string("CR PRESSURE")
                                  << std::string("853\r");
        QTest::newRow("CR9 on") << std::string("on") << std::string("CR9")
                                << std::string(
                                       "PWR ON IN PC1 VOL 32 MUTE OFF NOSHOW OFF FRZ OFF LAMP 01234H\r");
    }
    void eachQueryAnswersForTheState()
    {
        QFETCH(std::string, state);
        QFETCH(std::string, query);
        QFETCH(std::string, reply);
        Driven driven(state);
        QCOMPARE(driven.projector.answer(query, driven.now), reply);
    }

    void commandsChangeWhatTheQueriesSay_data()
    {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<std::string>("query");
        QTest::addColumn<std::string>("reply");
        QTest::newRow("PC2") << QStringList{"C06"} << std::string("CR1") << std::string("2\r");
        QTest::newRow("video") << QStringList{"C06", "C07"} << std::string("CR1") << std::string("3\r");
        QTest::newRow("back to PC1") << QStringList{"C07", "C05"} << std::string("CR1") << std::string("1\r");
        QTest::newRow("sound mute") << QStringList{"C00", "C0B"} << std::string("CRA") << std::string("02\r");
        QTest::newRow("no show") << QStringList{"C00", "C0D"} << std::string("CRA") << std::string("01\r");
        QTest::newRow("both") << QStringList{"C00", "C0D", "C0B"} << std::string("CRA")
                              << std::string("03\r");
        QTest::newRow("both undone") << QStringList{"C00", "C0D", "C0B", "C0C", "C0E"} << std::string("CRA")
                                     << std::string("00\r");
        QTest::newRow("power on twice stays in count down")
            << QStringList{"C00", "C00"} << std::string("CR0") << std::string("40\r");
        QTest::newRow("power off in standby")
            << QStringList{"C01"} << std::string("CR0") << std::string("80\r");
        QTest::newRow("freeze and volume")
            << QStringList{"C43", "C09", "C09", "C0A", "C0B"} << std::string("CR9")
            << std::string("PWR STANDBY IN PC1 VOL 33 MUTE ON NOSHOW OFF FRZ ON LAMP 01234H\r");
        QTest::newRow("unfreeze")
            << QStringList{"C43", "C44"} << std::string("CR9")
            << std::string("PWR STANDBY IN PC1 VOL 32 MUTE OFF NOSHOW OFF FRZ OFF LAMP 01234H\r");
    }
    void commandsChangeWhatTheQueriesSay()
    {
        QFETCH(QStringList, commands);
        QFETCH(std::string, query);
        QFETCH(std::string, reply);
        Projector projector;
        for (const QString &command : commands)
            QCOMPARE(projector.answer(command.toStdString(), 0ms), Ack);
        QCOMPARE(projector.answer(query, 0ms), reply);
    }

    void powerTakesItsTime_data()
    {
        QTest::addColumn<int>("warmUpMs");
        QTest::addColumn<int>("coolDownMs");
        // Each row: the projector's clock in ms, the line sent then, and the power state it answers.
        QTest::addColumn<QStringList>("steps");
        const int warm = int(SimulatorOptions::DefaultWarmUp.count());
        const int cool = int(SimulatorOptions::DefaultCoolDown.count());
        QTest::newRow("the defaults")
            << warm << cool << QStringList{"1000 C00",
                                           QString("%1 CR0 40").arg(1000 + warm - 1),
                                           QString("%1 CR0 00").arg(1000 + warm),
                                           "10000 C01",
                                           QString("%1 CR0 20").arg(10000 + cool - 1),
                                           QString("%1 CR0 80").arg(10000 + cool)};
        QTest::newRow("warm and cool as long as asked")
            << 30000 << 60000 << QStringList{"0 C00",     "29999 CR0 40", "30000 CR0 00",
                                             "40000 C01", "99999 CR0 20", "100000 CR0 80"};
        QTest::newRow("power off while warming is ignored")
            << 30000 << 60000 << QStringList{"0 C00", "10000 C01", "10000 CR0 40", "30000 CR0 00"};
        QTest::newRow("power on while cooling is ignored")
            << 30000 << 60000
            << QStringList{"0 C00", "30000 C01", "40000 C00", "40000 CR0 20", "90000 CR0 80"};
        QTest::newRow("power on twice keeps its count-down")
            << 30000 << 60000 << QStringList{"0 C00", "20000 C00", "30000 CR0 00"};
        QTest::newRow("none: on and standby at once")
            << 0 << 0 << QStringList{"0 C00", "0 CR0 00", "0 C01", "0 CR0 80", "0 C00", "0 CR0 00"};
        QTest::newRow("a late query sees every step")
            << 30000 << 60000 << QStringList{"0 C00", "30000 C01", "200000 CR0 80"};
    }
    void powerTakesItsTime()
    {
        QFETCH(int, warmUpMs);
        QFETCH(int, coolDownMs);
        QFETCH(QStringList, steps);
        SimulatorOptions options;
        options.warmUp = std::chrono::milliseconds(warmUpMs);
        options.coolDown = std::chrono::milliseconds(coolDownMs);
        Projector projector(options);
        for (const QString &step : steps) {
            const QStringList fields = step.split(' ');
            const std::chrono::milliseconds at(fields[0].toInt());
            const std::string reply = projector.answer(fields[1].toStdString(), at);
            QCOMPARE(reply, fields.size() > 2 ? fields[2].toStdString() + '\r' : Ack);
        }
    }

    void lampHoursGrowOnlyWhileLit()
    {
        Projector projector;
        const auto hour = std::chrono::milliseconds(std::chrono::hours(1));
        QCOMPARE(projector.lampHours(5 * hour), Projector::InitialLampHours);
        projector.answer("C00", 5 * hour);
        QCOMPARE(projector.lampHours(7 * hour), Projector::InitialLampHours + 2);
        projector.answer("C01", 8 * hour);
        QCOMPARE(projector.lampHours(20 * hour), Projector::InitialLampHours + 3);
        QCOMPARE(projector.answer("CR3", 20 * hour), std::string("01237\r"));
    }

    void everyCommandOfItsListIsAcknowledgedAndEveryQueryAnswered()
    {
        for (const ProjectorCommand &command : projectorCommands()) {
            Projector projector;
            const std::string reply = projector.answer(command.code, 0ms);
            QVERIFY2(command.code.starts_with("CR") ? reply != Ack && reply != "?\r" : reply == Ack,
                     command.code.data());
            QCOMPARE(findProjectorCommand(command.code), &command);
        }
    }

    void eachAnswerNamesItsLineAndWhatItMeans()
    {
        Projector projector;
        const auto answers = projector.receive("C00\rc00\r", 0ms);
        QCOMPARE(answers.size(), std::size_t(2));
        QCOMPARE(answers[0].line, std::string("C00"));
        QVERIFY(answers[0].command);
        QCOMPARE(answers[0].command->meaning, std::string_view("power on"));
        QCOMPARE(answers[1].line, std::string("c00"));
        QVERIFY(!answers[1].command);
    }

    void aBrokenLineForgetsTheCommandItHadBegun()
    {
        Projector projector;
        QVERIFY(projector.receive("C0", 0ms).empty());
        projector.forgetPartialLine();
        QCOMPARE(joined(projector.receive("CR0\r", 0ms)), std::string("80\r"));
    }

    void anythingElseIsUnknown_data()
    {
        QTest::addColumn<std::string>("line");
        QTest::newRow("lower case") << std::string("cr0");
        QTest::newRow("trailing blank") << std::string("C00 ");
        QTest::newRow("no such code") << std::string("C99");
        QTest::newRow("query prefix alone") << std::string("CR");
        QTest::newRow("overlong") << std::string(1000, 'C');
    }
    void anythingElseIsUnknown()
    {
        QFETCH(std::string, line);
        Projector projector;
        QCOMPARE(joined(projector.receive(line + '\r', 0ms)), std::string("?\r"));
        QCOMPARE(projector.power(0ms), Projector::Power::Standby);
    }

    void linesAreCutAtEachCarriageReturnInAnyPieces()
    {
        Projector projector;
        QVERIFY(projector.receive("CR", 0ms).empty());
        QCOMPARE(joined(projector.receive("0\rC0", 0ms)), std::string("80\r"));
        QCOMPARE(joined(projector.receive("0\r\r\nCR0\r", 0ms)), Ack + "40\r");
        QCOMPARE(projector.timesReceived("C00"), 1);
        QCOMPARE(projector.timesReceived("CR0"), 2);
    }

    void aReplyIsDueAfterTheDelay()
    {
        SimulatorOptions options;
        options.replyDelay = 75ms;
        Projector projector(options);
        const auto answers = projector.receive("CR0\r", 1000ms);
        QCOMPARE(answers.size(), std::size_t(1));
        QCOMPARE(answers[0].pieces.size(), std::size_t(1));
        QCOMPARE(answers[0].pieces[0].at, 1075ms);
    }

    void aReplyCanComeInPieces()
    {
        SimulatorOptions options;
        options.pieces = 3;
        options.pieceGap = 40ms;
        Projector projector(options);
        const auto answers = projector.receive("CR9\r", 0ms);
        const auto &pieces = answers.at(0).pieces;
        QCOMPARE(pieces.size(), std::size_t(3));
        QCOMPARE(pieces[0].at, options.replyDelay);
        QCOMPARE(pieces[2].at, options.replyDelay + 80ms);
        QCOMPARE(joined(answers), projector.answer("CR9", 0ms));
        // A reply shorter than the pieces is sent a byte at a time.
        QCOMPARE(projector.receive("CR1\r", 0ms).at(0).pieces.size(), std::size_t(2));
    }

    void everyNthReplyCanBeDropped()
    {
        SimulatorOptions options;
        options.dropEvery = 2;
        Projector projector(options);
        QCOMPARE(joined(projector.receive("CR0\r", 0ms)), std::string("80\r"));
        QCOMPARE(joined(projector.receive("C00\r", 0ms)), std::string());
        QCOMPARE(joined(projector.receive("CR0\r", 0ms)), std::string("40\r"));
        // A dropped command is still carried out.
        QCOMPARE(projector.power(0ms), Projector::Power::CountDown);
    }

    void noiseComesBeforeTheReplyAndNeverEndsIt()
    {
        SimulatorOptions options;
        options.noiseBytes = 50;
        Projector projector(options);
        const std::string reply = joined(projector.receive("CR0\r", 0ms));
        QCOMPARE(reply.size(), std::size_t(53));
        QVERIFY(reply.ends_with("80\r"));
        QCOMPARE(std::count(reply.begin(), reply.end(), '\r'), 1);
        QVERIFY(joined(projector.receive("CR0\r", 0ms)) != reply);
    }
};

QTEST_GUILESS_MAIN(TestProjector)
#include "tst_projector.moc"
