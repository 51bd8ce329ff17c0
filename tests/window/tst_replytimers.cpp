#include "consolefixture.h"

#include <QTest>

// The course of one exchange in virtual time: the reply, its time-out and the clearing.
class TestReplyTimers : public QObject
{
    Q_OBJECT

private slots:
    void aReplyInTimeIsTracedDecodedAndCleared()
    {
        ConsoleFixture console;
        console.load();
        console.form.click("Command44");
        console.advance(100);
        console.port.deliver("00\r");
        QCOMPARE(console.caption("Label12"), std::string(" 0 0 CR "));
        QCOMPARE(console.caption("Label22"), std::string(" Power ON"));
        QCOMPARE(console.form.fields().AwaitingReply, 0);
        console.advance(400);
        QVERIFY(console.port.noReplies.empty());
        QCOMPARE(console.caption("Label12"), std::string(" 0 0 CR "));
        QVERIFY(console.form.fields().ReceiveBuffer.empty());
        QVERIFY(!console.Timer2.enabled());
        console.advance(500);
        QCOMPARE(console.caption("Label11"), std::string());
        QCOMPARE(console.caption("Label12"), std::string());
        QCOMPARE(console.caption("Label22"), std::string());
        QVERIFY(!console.Timer4.enabled());
    }

    void periodsOfEachKindTimeTheExchange_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("reply");
        QTest::addColumn<int>("clear");
        QTest::newRow("design") << QString() << 500 << 1000;
        QTest::newRow("after a long-wait button") << "Command4" << 2000 << 2500;
        QTest::newRow("after a longest-wait button") << "Command69" << 5000 << 5500;
    }
    void periodsOfEachKindTimeTheExchange()
    {
        QFETCH(QString, before);
        QFETCH(int, reply);
        QFETCH(int, clear);
        ConsoleFixture console;
        console.load();
        if (!before.isEmpty()) {
            console.form.click(before.toStdString());
            console.advance(6000);
            console.port.noReplies.clear();
        }
        console.form.click("Command44");
        console.advance(reply - 1);
        QCOMPARE(console.caption("Label12"), std::string());
        console.advance(1);
        QCOMPARE(console.caption("Label12"), std::string(" X X X X"));
        QCOMPARE(console.form.fields().AwaitingReply, 0);
        QCOMPARE(console.port.noReplies, std::vector<std::string>{"CR0\r " + std::to_string(reply)});
        console.advance(clear - reply - 1);
        QCOMPARE(console.caption("Label11"), std::string(" C R 0 CR "));
        console.advance(1);
        QCOMPARE(console.caption("Label11"), std::string());
        QCOMPARE(console.caption("Label12"), std::string());
    }

    void aReplyInTwoPiecesIsTracedAndDecodedAtEach()
    {
        ConsoleFixture console;
        console.load();
        console.form.click("Command44");
        console.port.deliver("8");
        QCOMPARE(console.caption("Label12"), std::string(" 8 "));
        QCOMPARE(console.caption("Label22"), std::string());
        console.port.deliver("0\r");
        QCOMPARE(console.caption("Label12"), std::string(" 8 0 CR "));
        QCOMPARE(console.caption("Label22"), std::string(" Stand by"));
    }

    void aLateReplyShowsOnlyTheLateCharacters()
    {
        ConsoleFixture console;
        console.load();
        console.port.deliver("Z");
        console.form.click("Command45");
        console.advance(600);
        QCOMPARE(console.caption("Label12"), std::string(" X X X X"));
        console.port.deliver("2\r");
        QCOMPARE(console.caption("Label12"), std::string(" 2 CR "));
        QCOMPARE(console.caption("Label22"), std::string(" Computer 2"));
        QCOMPARE(console.form.fields().AwaitingReply, 0);
    }

    void twoRepliesBeforeTheTimeOutShowAsOneTrace()
    {
        ConsoleFixture console;
        console.load();
        console.form.click("Command17");
        console.port.deliver("\x06\r");
        console.form.click("Command27");
        console.port.deliver("\x06\r");
        QCOMPARE(console.caption("Label12"), std::string(" ACK CR ACK CR "));
    }

    void otherEventCodesChangeNothing()
    {
        ConsoleFixture console;
        console.load();
        console.form.click("Command44");
        console.port.raiseEvent(1001);
        QCOMPARE(console.form.fields().AwaitingReply, 1);
        QCOMPARE(console.caption("Label12"), std::string());
        QVERIFY(console.form.fields().ReceiveBuffer.empty());
    }

    void aStreamThatNothingEmptiesIsHeldUpToTheTraceLimit()
    {
        ConsoleFixture console;
        console.load();
        for (int chunk = 0; chunk < 100; ++chunk)
            console.port.deliver(std::string(1000, '5'));
        QCOMPARE(console.form.fields().ReceiveBuffer.size(), std::size_t(32767));
        QCOMPARE(console.caption("Label12").size(), std::size_t(1 + 2 * 32767));
    }
};

QTEST_GUILESS_MAIN(TestReplyTimers)
#include "tst_replytimers.moc"
