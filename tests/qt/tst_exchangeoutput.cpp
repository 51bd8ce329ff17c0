#include "qt/commandline/exchangeoutput.h"

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

// What the command-line mode prints for one command and its reply.
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
        QTest::newRow("lower case is not decoded")
            << QByteArray("cr0") << QByteArray("80\r") << QByteArray("\"cr0\" \" 8 0 CR \"\n");
        QTest::newRow("empty text") << QByteArray("") << QByteArray("?\r") << QByteArray("\"\" \" ? CR \"\n");
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

    void controlBytesAreEscapedInJson()
    {
        const QByteArray line = exchangeJson(describeExchange("C00", arrived("\x06\r"), 1ms));
        QVERIFY2(line.contains(R"("reply":"\u0006\r")"), line.constData());
    }
};

QTEST_GUILESS_MAIN(TestExchangeOutput)
#include "tst_exchangeoutput.moc"
