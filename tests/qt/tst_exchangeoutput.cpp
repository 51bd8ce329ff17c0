#include "qt/commandline/exchangeoutput.h"

#include <QJsonDocument>
#include <QJsonObject>
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

    // Every byte of the text sent and of the reply comes back from the JSON as its Latin-1 character.
    void everyByteIsValidJson()
    {
        std::string sent;
        for (int code = 1; code <= 0xFF; ++code)
            sent.push_back(char(code));
        const std::string high = sent.substr(0x7F);
        const std::string reply = high + std::string(ReplyLimit, 'A');
        const QByteArray line = exchangeJson(describeExchange(sent, arrived(reply), 1ms));
        QJsonParseError error{};
        const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        QCOMPARE(object.value("sent").toString().toLatin1().toStdString(), sent);
        QCOMPARE(object.value("reply").toString().toLatin1().toStdString(), reply.substr(0, ReplyLimit));
        QCOMPARE(object.value("answered").toBool(true), false);
        QCOMPARE(object.value("cut").toInteger(), qint64(high.size()));
    }

    void controlBytesAreEscapedInJson()
    {
        const QByteArray line = exchangeJson(describeExchange("C00", arrived("\x06\r"), 1ms));
        QVERIFY2(line.contains(R"("reply":"\u0006\r")"), line.constData());
    }
};

QTEST_GUILESS_MAIN(TestExchangeOutput)
#include "tst_exchangeoutput.moc"
