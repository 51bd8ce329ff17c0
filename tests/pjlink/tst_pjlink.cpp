#include "pjlink/pjlinkcommands.h"
#include "pjlink/pjlinksession.h"

#include <QTest>

namespace {
QString shown(const std::string &text)
{
    return QString::fromStdString(text);
}

// A projector that answered every query: on, PC2, video muted, 1234.4 lamp hours.
PjlinkStatus answering()
{
    return {"hall-a", true, PowerState::On, "power_on", "computer_2", "video_mute", 1234.4};
}
} // namespace

Q_DECLARE_METATYPE(PjlinkStatus)
Q_DECLARE_METATYPE(PressOutcome)
Q_DECLARE_METATYPE(std::vector<PjlinkInput>)

// The PJLink class 1 talk of one projector: its answers from the last values, the presses its set
// commands give and their outcomes' answers, and a client's lines with and without a password.
class TestPjlink : public QObject
{
    Q_OBJECT

private slots:
    void answersQueries_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<PjlinkStatus>("status");
        QTest::addColumn<QString>("answer");
        PjlinkStatus status = answering();
        QTest::newRow("on") << "%1POWR ?" << status << "%1POWR=1\r";
        QTest::newRow("input") << "%1INPT ?" << status << "%1INPT=12\r";
        QTest::newRow("mute") << "%1AVMT ?" << status << "%1AVMT=11\r";
        QTest::newRow("lamp lit") << "%1LAMP ?" << status << "%1LAMP=1234 1\r";
        QTest::newRow("no error") << "%1ERST ?" << status << "%1ERST=000000\r";
        QTest::newRow("name") << "%1NAME ?" << status << "%1NAME=hall-a\r";
        QTest::newRow("inputs") << "%1INST ?" << status << "%1INST=11 12 31\r";
        QTest::newRow("class") << "%1CLSS ?" << status << "%1CLSS=1\r";
        QTest::newRow("model") << "%1INF2 ?" << status << "%1INF2=QT27S\r";
        for (const auto &[power, answer] : {std::pair{PowerState::Standby, "0"},
                                            {PowerState::Cooling, "2"},
                                            {PowerState::Warming, "3"},
                                            {PowerState::Unknown, "ERR3"},
                                            {PowerState::Fault, "ERR4"},
                                            {PowerState::Unreachable, "ERR4"}}) {
            status.power = power;
            QTest::addRow("power %s", powerStateName(power).data())
                << "%1POWR ?" << status << "%1POWR=" + QString(answer) + "\r";
        }
        status = answering();
        status.power = PowerState::Cooling;
        QTest::newRow("lamp out while cooling") << "%1LAMP ?" << status << "%1LAMP=1234 0\r";
        status.operating = "cooling_down_all_lamps_failed";
        QTest::newRow("lamps failed") << "%1ERST ?" << status << "%1ERST=020000\r";
        status.operating = "temperature_warning";
        QTest::newRow("temperature warning") << "%1ERST ?" << status << "%1ERST=001000\r";
        status = answering();
        status.hottest = 60.5;
        QTest::newRow("too hot") << "%1ERST ?" << status << "%1ERST=001000\r";
        status.operating = "power_fail";
        QTest::newRow("too hot and failed") << "%1ERST ?" << status << "%1ERST=001002\r";
        status = answering();
        status.hottest = 60.0;
        QTest::newRow("hot within limits") << "%1ERST ?" << status << "%1ERST=000000\r";
        status.mute = "standby";
        QTest::newRow("mute in standby") << "%1AVMT ?" << status << "%1AVMT=ERR3\r";
        status = answering();
        status.lampHours.reset();
        QTest::newRow("no lamp hours yet") << "%1LAMP ?" << status << "%1LAMP=ERR3\r";
        status.connected = false;
        QTest::newRow("not connected") << "%1INPT ?" << status << "%1INPT=ERR4\r";
        QTest::newRow("name while not connected") << "%1NAME ?" << status << "%1NAME=hall-a\r";
        QTest::newRow("undefined command") << "%1XXXX ?" << status << "%1XXXX=ERR1\r";
        QTest::newRow("class 2") << "%2POWR ?" << status << "%2POWR=ERR1\r";
        QTest::newRow("garbage") << "hello" << status << "PJLINK ERR1\r";
        QTest::newRow("control bytes in header") << "%1PO\x1bR ?" << status << "PJLINK ERR1\r";
        QTest::newRow("no parameter") << "%1POWR" << status << "%1POWR=ERR2\r";
        QTest::newRow("bad power") << "%1POWR 2" << status << "%1POWR=ERR2\r";
        QTest::newRow("no such input") << "%1INPT 21" << status << "%1INPT=ERR2\r";
        QTest::newRow("query-only set") << "%1LAMP 1" << status << "%1LAMP=ERR2\r";
    }
    void answersQueries()
    {
        QFETCH(QString, line);
        QFETCH(PjlinkStatus, status);
        QFETCH(QString, answer);
        const PjlinkStep step = pjlinkStep(line.toStdString(), &status);
        QVERIFY(step.press.empty());
        QCOMPARE(shown(step.answer), answer);
    }

    // Each set command gives its press, and is answered by what came of it.
    void answersSetCommands_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("press");
        QTest::addColumn<PressOutcome>("outcome");
        QTest::addColumn<QString>("answer");
        QTest::newRow("on, already") << "%1POWR 1"
                                     << "C00" << PressOutcome::already("C00", "on") << "OK";
        QTest::newRow("off, held") << "%1POWR 0"
                                   << "C01" << PressOutcome::held("C01") << "ERR3";
        QTest::newRow("pc1, not connected")
            << "%1INPT 11"
            << "C05" << PressOutcome::dropped("C05", "not connected", PressOutcome::Reason::NotConnected)
            << "ERR4";
        QTest::newRow("video, queue full")
            << "%1INPT 31"
            << "C07" << PressOutcome::dropped("C07", "full", PressOutcome::Reason::QueueFull) << "ERR3";
        QTest::newRow("sound mute on, sent") << "%1AVMT 21"
                                             << "C0B" << PressOutcome::sent("C0B") << "";
        QTest::newRow("both mutes off") << "%1AVMT 30"
                                        << "C0E" << PressOutcome::sent("C0E") << "";
    }
    void answersSetCommands()
    {
        QFETCH(QString, line);
        QFETCH(QString, press);
        QFETCH(PressOutcome, outcome);
        QFETCH(QString, answer);
        const PjlinkStatus status = answering();
        const PjlinkStep step = pjlinkStep(line.toStdString(), &status);
        QVERIFY(step.answer.empty());
        QCOMPARE(shown(step.press), press);
        const std::optional<std::string_view> result = pjlinkOutcomeResult(outcome);
        QCOMPARE(shown(std::string(result.value_or(""))), answer);
    }

    // A press that went out is answered by its exchange.
    void answersExchanges()
    {
        Exchange exchange;
        exchange.sent = "C00";
        QCOMPARE(pjlinkExchangeResult(&exchange), std::string_view("ERR4"));
        exchange.answered = true;
        QCOMPARE(pjlinkExchangeResult(&exchange), std::string_view("OK"));
        exchange.refused = true;
        QCOMPARE(pjlinkExchangeResult(&exchange), std::string_view("ERR3"));
        QCOMPARE(pjlinkExchangeResult(nullptr), std::string_view("ERR4"));
    }

    void cutsLines_data()
    {
        using Kind = PjlinkInput::Kind;
        const std::string digest(PjlinkSession::DigestBytes, 'a');
        QTest::addColumn<bool>("password");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<std::vector<PjlinkInput>>("inputs");
        QTest::newRow("two lines in one read")
            << false << QByteArray("%1POWR ?\r%1INPT ?\r%1AV")
            << std::vector<PjlinkInput>{{Kind::Line, "%1POWR ?"}, {Kind::Line, "%1INPT ?"}};
        QTest::newRow("CR LF") << false << QByteArray("%1POWR ?\r\n%1NAME ?\r\n")
                               << std::vector<PjlinkInput>{{Kind::Line, "%1POWR ?"},
                                                           {Kind::Line, "%1NAME ?"}};
        QTest::newRow("longest line")
            << false << QByteArray("%1NAME ") + QByteArray(128, 'x') + "\r"
            << std::vector<PjlinkInput>{{Kind::Line, "%1NAME " + std::string(128, 'x')}};
        QTest::newRow("too long, dropped whole")
            << false << QByteArray("%1NAME ") + QByteArray(129, 'x') + "\r%1CLSS ?\r"
            << std::vector<PjlinkInput>{{Kind::Answer, "%1NAME=ERR1\r"}, {Kind::Line, "%1CLSS ?"}};
        QTest::newRow("right digest, first line only")
            << true << QByteArray::fromStdString(digest + "%1POWR 1\r%1POWR ?\r")
            << std::vector<PjlinkInput>{{Kind::Line, "%1POWR 1"}, {Kind::Line, "%1POWR ?"}};
        QTest::newRow("wrong digest closes")
            << true << QByteArray::fromStdString(std::string(32, 'b') + "%1POWR 1\r%1POWR ?\r")
            << std::vector<PjlinkInput>{{Kind::Close, "PJLINK ERRA\r"}};
        QTest::newRow("no digest closes")
            << true << QByteArray("%1POWR 1\r") << std::vector<PjlinkInput>{{Kind::Close, "PJLINK ERRA\r"}};
    }
    void cutsLines()
    {
        QFETCH(bool, password);
        QFETCH(QByteArray, bytes);
        QFETCH(std::vector<PjlinkInput>, inputs);
        PjlinkSession session(password ? std::optional<std::string>(std::string(32, 'a')) : std::nullopt);
        std::vector<PjlinkInput> got;
        // Byte by byte, as a slow client's segments come.
        for (const char byte : bytes)
            for (PjlinkInput &input : session.receive(std::string_view(&byte, 1)))
                got.push_back(std::move(input));
        QVERIFY(got == inputs);
    }

    void greets()
    {
        QCOMPARE(shown(PjlinkSession::greeting(std::nullopt)), QString("PJLINK 0\r"));
        QCOMPARE(shown(PjlinkSession::greeting("0a1b2c3d")), QString("PJLINK 1 0a1b2c3d\r"));
    }
};

QTEST_APPLESS_MAIN(TestPjlink)
#include "tst_pjlink.moc"
