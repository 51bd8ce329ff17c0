#include "consolefixture.h"

#include <QTest>

using namespace std::chrono_literals;

// The free-form entry: the text goes out as typed, with one carriage return.
class TestFreeForm : public QObject
{
    Q_OBJECT

private slots:
    void sendGoesOutAsTypedAndDecodesOnlyExactQueries_data()
    {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("status");
        QTest::newRow("empty box") << QByteArray() << QByteArray("00\r") << "";
        QTest::newRow("blanks and lower case") << QByteArray(" c00 ") << QByteArray("00\r") << "";
        QTest::newRow("typed STATUS") << QByteArray("CR0") << QByteArray("00\r") << " Power ON";
        QTest::newRow("lower-case query") << QByteArray("cr0") << QByteArray("00\r") << "";
        QTest::newRow("query and a blank") << QByteArray("CR0 ") << QByteArray("00\r") << "";
        QTest::newRow("mute state") << QByteArray("CRA") << QByteArray("03\r") << " Video & Audio mute ON";
        QTest::newRow("lamp mode") << QByteArray("CR7") << QByteArray("11\r")
                                   << " No1 ON  : 1 Lamp mode(No1 USE)";
        QTest::newRow("whole trace") << QByteArray("CR9") << QByteArray("AB\r") << " A B CR ";
        QTest::newRow("pressure") << QByteArray("CR PRESSURE") << QByteArray("853\r") << "1013 hPa";
    }
    void sendGoesOutAsTypedAndDecodesOnlyExactQueries()
    {
        QFETCH(QByteArray, typed);
        QFETCH(QByteArray, reply);
        QFETCH(QString, status);
        ConsoleFixture console;
        console.load();
        console.controls.setText("Text1", typed.toStdString());
        console.form.click("Command95");
        QCOMPARE(QByteArray::fromStdString(console.port.written), typed + '\r');
        QCOMPARE(console.form.fields().TypedCommand, typed.toStdString());
        QCOMPARE(console.Timer2.interval(), 2000ms);
        QCOMPARE(console.Timer4.interval(), 2500ms);
        console.port.deliver(reply.toStdString());
        QCOMPARE(QString::fromStdString(console.caption("Label22")), status);
    }

    void sendTwiceSendsTwiceAndClsOnlyEmptiesTheBox()
    {
        ConsoleFixture console;
        console.load();
        console.controls.setText("Text1", "C00");
        console.form.click("Command95");
        console.form.click("Command95");
        QCOMPARE(console.port.written, std::string("C00\rC00\r"));
        console.form.click("Command96");
        QCOMPARE(console.controls.text("Text1"), std::string());
        QCOMPARE(console.form.fields().TypedCommand, std::string("C00"));
        QCOMPARE(console.caption("Label11"), std::string(" C 0 0 CR "));
        console.form.click("Command95");
        QCOMPARE(console.port.written, std::string("C00\rC00\r\r"));
        QCOMPARE(console.caption("Label11"), std::string(" CR "));
    }
};

QTEST_GUILESS_MAIN(TestFreeForm)
#include "tst_freeform.moc"
