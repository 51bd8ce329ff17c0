#include "qt/exchange/exchangeoutput.h"
#include "qt/platform/standardoutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <QTest>

using namespace std::chrono_literals;

namespace {
// A reply that arrived in one piece.
Reply arrived(std::string_view bytes)
{
    Reply reply;
    reply.add(bytes);
    return reply;
}
} // namespace

// What the command-line mode prints for one command and its reply, and how the lines reach standard output.
class TestExchangeOutput : public QObject
{
    Q_OBJECT

private slots:
    void textLines_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("no reply to a query")
            << QByteArray("CR3") << QByteArray() << QByteArray("\"CR3\" \" X X X X\" \"\"\n");
        QTest::newRow("no reply to a command")
            << QByteArray("C00") << QByteArray() << QByteArray("\"C00\" \" X X X X\"\n");
        QTest::newRow("a reply no row knows")
            << QByteArray("CR0") << QByteArray("99\r") << QByteArray("\"CR0\" \" 9 9 CR \" \"\"\n");
        QTest::newRow("a reply without its query's form")
            << QByteArray("CR1") << QByteArray("00\r") << QByteArray("\"CR1\" \" 0 0 CR \" \"\" misfit\n");
        QTest::newRow("lower case is not decoded")
            << QByteArray("cr0") << QByteArray("80\r") << QByteArray("\"cr0\" \" 8 0 CR \"\n");
        QTest::newRow("empty text refused")
            << QByteArray("") << QByteArray("?\r") << QByteArray("\"\" \" ? CR \" refused\n");
        QTest::newRow("a ? with more is no refusal")
            << QByteArray("C00") << QByteArray("?0\r") << QByteArray("\"C00\" \" ? 0 CR \"\n");
        QTest::newRow("quotes and bytes escaped") << QByteArray("a\"b\\c\x01\xe9") << QByteArray("\"\r")
                                                  << QByteArray("\"a\\\"b\\\\c\\x01\\xE9\" \" \\\" CR \"\n");
        QTest::newRow("part of a reply is shown, not decoded")
            << QByteArray("CR0") << QByteArray("80") << QByteArray("\"CR0\" \" 8 0 \" \"\"\n");
        QTest::newRow("a reply past the limit says how much was cut")
            << QByteArray("C00") << QByteArray(int(ReplyLimit) + 904, 'A')
            << "\"C00\" \" " + QByteArray("A ").repeated(int(ReplyLimit)) + "\" (904 bytes cut)\n";
        QTest::newRow("leading and trailing blanks of a phrase")
            << QByteArray("CR0") << QByteArray("02\r")
            << QByteArray("\"CR0\" \" 0 2 CR \" \" NO Key input \"\n");
    }
    void textLines()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, line);
        QCOMPARE(exchangeText(describeExchange(sent.toStdString(), arrived(reply.toStdString()), 3ms)), line);
    }

    // Each query's value in its own shape; anything no table or reading knows is null.
    void jsonValues_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("CR0 row") << QByteArray("CR0") << QByteArray("80\r") << QByteArray(R"("standby")");
        QTest::newRow("CR0 unknown") << QByteArray("CR0") << QByteArray("99\r") << QByteArray("null");
        QTest::newRow("CR0 no reply") << QByteArray("CR0") << QByteArray() << QByteArray("null");
        QTest::newRow("CR0 cut short") << QByteArray("CR0") << QByteArray("80") << QByteArray("null");
        QTest::newRow("CR1 row") << QByteArray("CR1") << QByteArray("3\r") << QByteArray(R"("video")");
        QTest::newRow("CR4 row") << QByteArray("CR4") << QByteArray("11\r") << QByteArray(R"("normal")");
        QTest::newRow("CR7 row") << QByteArray("CR7") << QByteArray("03\r")
                                 << QByteArray(R"("both_on_2_lamp")");
        QTest::newRow("CRA row") << QByteArray("CRA") << QByteArray("FF\r") << QByteArray(R"("standby")");
        QTest::newRow("CR3 hours") << QByteArray("CR3") << QByteArray("01234\r") << QByteArray("1234");
        QTest::newRow("CR3 not digits") << QByteArray("CR3") << QByteArray("0x12\r") << QByteArray("null");
        QTest::newRow("CR6 three") << QByteArray("CR6") << QByteArray("038.5 041.0 036.0\r")
                                   << QByteArray("[38.5,41,36]");
        QTest::newRow("CR6 short") << QByteArray("CR6") << QByteArray("12345\r") << QByteArray("null");
        QTest::newRow("CR9 text") << QByteArray("CR9") << QByteArray("PWR ON\r") << QByteArray(R"("PWR ON")");
        QTest::newRow("pressure") << QByteArray("CR PRESSURE") << QByteArray("853\r") << QByteArray("1013");
        QTest::newRow("pressure out of range")
            << QByteArray("CR PRESSURE") << QByteArray("99999\r") << QByteArray("null");
        QTest::newRow("no query, no value") << QByteArray("C00") << QByteArray("\x06\r") << QByteArray();
    }
    void jsonValues()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, value);
        const QByteArray line =
            exchangeJson(describeExchange(sent.toStdString(), arrived(reply.toStdString()), 1ms));
        if (value.isEmpty())
            QVERIFY2(!line.contains(R"("value")"), line.constData());
        else
            QVERIFY2(line.contains(R"("value":)" + value + '}'), line.constData());
    }

    void controlBytesAreEscapedInJson()
    {
        const QByteArray line = exchangeJson(describeExchange("C00", arrived("\x06\r"), 1ms));
        QVERIFY2(line.contains(R"("reply":"\u0006\r")"), line.constData());
    }

    // A press's record reads the same in every outcome, its text escaped, its detail only where one is.
    void pressRecords_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("detail");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("sent") << int(PressOutcome::Kind::Sent) << QByteArray()
                              << QByteArray(R"(C0\x01 from mqtt: sent)")
                              << QByteArray(R"({"from":"mqtt","outcome":"sent","press":"C0\u0001",)");
        QTest::newRow("held") << int(PressOutcome::Kind::Held) << QByteArray()
                              << QByteArray(R"(C0\x01 from mqtt: held until the projector settles)")
                              << QByteArray(R"({"from":"mqtt","outcome":"held",)");
        QTest::newRow("already") << int(PressOutcome::Kind::Already) << QByteArray("on")
                                 << QByteArray(R"(C0\x01 from mqtt: not sent, already on)")
                                 << QByteArray(R"({"detail":"on","from":"mqtt","outcome":"already",)");
        QTest::newRow("dropped") << int(PressOutcome::Kind::Dropped) << QByteArray("not connected")
                                 << QByteArray(R"(C0\x01 from mqtt: not sent, not connected)")
                                 << QByteArray(
                                        R"({"detail":"not connected","from":"mqtt","outcome":"dropped",)");
    }
    void pressRecords()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, detail);
        QFETCH(QByteArray, record);
        QFETCH(QByteArray, json);
        const PressOutcome outcome{PressOutcome::Kind(kind), "C0\x01", detail.toStdString()};
        QCOMPARE(QByteArray::fromStdString(pressRecord("mqtt", outcome)), record);
        const QByteArray line = pressJson("12:00:00.000", "hall-a", "mqtt", outcome);
        QVERIFY2(line.startsWith(json) && line.endsWith(R"("projector":"hall-a","time":"12:00:00.000"})"
                                                        "\n"),
                 line.constData());
    }

    // A reader that takes nothing: lines wait up to the queue's limit, and each line past it is dropped,
    // counted and told once.
    void aFullQueueDropsAndCountsEachLine()
    {
        int pipe[2] = {-1, -1};
        QVERIFY(::pipe2(pipe, O_NONBLOCK | O_CLOEXEC) == 0);
        const QByteArray line(1000, 'x');
        while (::write(pipe[1], line.constData(), std::size_t(line.size())) > 0) {
        }
        const int fitting = int(StandardOutput::QueueLimitBytes) / line.size();
        int told = 0;
        {
            StandardOutput out(pipe[1]);
            out.setOnFirstDrop([&told] { ++told; });
            for (int i = 0; i < fitting + 3; ++i)
                QVERIFY(out.write(line));
            QCOMPARE(out.dropped(), std::size_t(3));
            QVERIFY(!out.failed());
        }
        QCOMPARE(told, 1);
        ::close(pipe[0]);
        ::close(pipe[1]);
    }
};

QTEST_GUILESS_MAIN(TestExchangeOutput)
#include "tst_exchangeoutput.moc"
