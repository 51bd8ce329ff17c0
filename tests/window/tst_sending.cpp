#include "consolefixture.h"

#include <QTest>

using namespace std::chrono_literals;

// One-shot buttons and the send path: the bytes, the trace, the periods, the failure rule.
class TestSending : public QObject
{
    Q_OBJECT

private slots:
    void clickSendsItsCodeAndSetsItsKindsPeriods_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("trace");
        QTest::addColumn<int>("reply");
        QTest::addColumn<int>("clear");
        QTest::newRow("plain POWER ON") << "Command17" << QByteArray("C00\r") << " C 0 0 CR " << 500 << 1000;
        QTest::newRow("input mode Video")
            << "Command29" << QByteArray("C07\r") << " C 0 7 CR " << 500 << 1000;
        QTest::newRow("status query") << "Command44" << QByteArray("CR0\r") << " C R 0 CR " << 500 << 1000;
        QTest::newRow("function word")
            << "Command61" << QByteArray("CF LOGO OFF\r") << " C F   L O G O   O F F CR " << 500 << 1000;
        QTest::newRow("16 bytes") << "Command63" << QByteArray("CF LOGO DEFAULT\r")
                                  << " C F   L O G O   D E F A U L T CR " << 500 << 1000;
        QTest::newRow("long wait REAL") << "Command10" << QByteArray("C12\r") << " C 1 2 CR " << 2000 << 2500;
        QTest::newRow("longest wait Auto")
            << "Command81" << QByteArray("C32\r") << " C 3 2 CR " << 5000 << 5500;
        QTest::newRow("RGB of PC1") << "Command64" << QByteArray("C50\r") << " C 5 0 CR " << 5000 << 5500;
        QTest::newRow("RGB of PC2") << "Command72" << QByteArray("C25\r") << " C 2 5 CR " << 5000 << 5500;
        QTest::newRow("Video of the sources")
            << "Command82" << QByteArray("C33\r") << " C 3 3 CR " << 5000 << 5500;
    }
    void clickSendsItsCodeAndSetsItsKindsPeriods()
    {
        QFETCH(QString, control);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, trace);
        QFETCH(int, reply);
        QFETCH(int, clear);
        ConsoleFixture console;
        console.load();
        console.form.click(control.toStdString());
        QCOMPARE(QByteArray::fromStdString(console.port.written), bytes);
        QCOMPARE(QString::fromStdString(console.caption("Label11")), trace);
        QCOMPARE(console.form.fields().LastCommand, bytes.toStdString());
        QCOMPARE(console.form.fields().AwaitingReply, 1);
        QVERIFY(console.Timer2.enabled() && console.Timer4.enabled());
        QCOMPARE(console.Timer2.interval(), std::chrono::milliseconds(reply));
        QCOMPARE(console.Timer4.interval(), std::chrono::milliseconds(clear));
    }

    void cursorSetupPreparesTheArrowsWithoutStartingTheRepeat()
    {
        ConsoleFixture console;
        console.load();
        console.Timer1.setInterval(250ms);
        console.form.click("Command23");
        QCOMPARE(console.Timer1.interval(), 200ms);
        QVERIFY(!console.Timer1.enabled());
        QCOMPARE(console.form.fields().ArrowPace, 1);
        console.form.click("Command24");
        QCOMPARE(console.form.fields().ArrowPace, 1);
    }

    void lengthenedPeriodsStayForLaterCommands()
    {
        ConsoleFixture console;
        console.load();
        console.form.click("Command10");
        console.advance(3000);
        console.form.click("Command44");
        console.advance(1999);
        QCOMPARE(console.caption("Label12"), std::string());
        console.advance(1);
        QCOMPARE(console.caption("Label12"), std::string(" X X X X"));
        console.advance(499);
        QCOMPARE(console.caption("Label11"), std::string(" C R 0 CR "));
        console.advance(1);
        QCOMPARE(console.caption("Label11"), std::string());
    }

    void aSendLeavesTheReceiveSideAsItWas()
    {
        ConsoleFixture console;
        console.load();
        console.port.deliver("80");
        console.form.click("Command17");
        QCOMPARE(console.caption("Label12"), std::string(" 8 0 "));
        QCOMPARE(console.form.fields().ReceiveBuffer, std::string("80"));
    }

    void aSendOnAClosedPortIsShownAndChangesNothing()
    {
        ConsoleFixture console;
        console.load();
        console.form.click("Command17");
        console.advance(1000);
        console.port.lose();
        console.messages.errors.clear();
        console.form.click("Command23");
        QCOMPARE(console.messages.errors.size(), std::size_t(1));
        QCOMPARE(console.messages.errors.front(), std::string("4: COM1 (fake): port is not open"));
        QCOMPARE(console.caption("Label11"), std::string());
        QCOMPARE(console.form.fields().AwaitingReply, 0);
        QVERIFY(!console.Timer2.enabled() && !console.Timer4.enabled());
        QCOMPARE(console.form.fields().ArrowPace, 0);
        // The console is still there for the next click.
        console.form.click("Command44");
        QCOMPARE(console.messages.errors.size(), std::size_t(2));
    }

    void aTextLongerThanTheTraceLimitGoesOutWhole()
    {
        ConsoleFixture console;
        console.load();
        const std::string longText(40000, 'A');
        console.controls.setText("Text1", longText);
        console.form.click("Command95");
        QCOMPARE(console.port.written.size(), longText.size() + 1);
        QCOMPARE(console.caption("Label11").size(), std::size_t(1 + 2 * 32767));
    }
};

QTEST_GUILESS_MAIN(TestSending)
#include "tst_sending.moc"
