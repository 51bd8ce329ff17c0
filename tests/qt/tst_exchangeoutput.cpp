#include "qt/cli/exchangeoutput.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace std::chrono_literals;

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
        QTest::newRow("status decoded")
            << QByteArray("CR0") << QByteArray("80\r") << QByteArray("\"CR0\" \" 8 0 CR \" \" Stand by\"\n");
        QTest::newRow("only acknowledged")
            << QByteArray("C00") << QByteArray("\x06\r") << QByteArray("\"C00\" \" ACK CR \"\n");
        QTest::newRow("no reply to a query")
            << QByteArray("CR3") << QByteArray() << QByteArray("\"CR3\" \" X X X X\" \"\"\n");
        QTest::newRow("no reply to a command")
            << QByteArray("C00") << QByteArray() << QByteArray("\"C00\" \" X X X X\"\n");
        QTest::newRow("a reply no row knows")
            << QByteArray("CR0") << QByteArray("99\r") << QByteArray("\"CR0\" \" 9 9 CR \" \"\"\n");
        QTest::newRow("blanks of a typed query")
            << QByteArray("CR PRESSURE") << QByteArray("853\r")
            << QByteArray("\"CR PRESSURE\" \" 8 5 3 CR \" \"1013 hPa\"\n");
        QTest::newRow("lower case is not decoded")
            << QByteArray("cr0") << QByteArray("80\r") << QByteArray("\"cr0\" \" 8 0 CR \"\n");
        QTest::newRow("empty text") << QByteArray("") << QByteArray("?\r") << QByteArray("\"\" \" ? CR \"\n");
        QTest::newRow("quotes and bytes escaped") << QByteArray("a\"b\\c\x01\xe9") << QByteArray("\"\r")
                                                  << QByteArray("\"a\\\"b\\\\c\\x01\\xE9\" \" \\\" CR \"\n");
        QTest::newRow("leading and trailing blanks of a phrase")
            << QByteArray("CR0") << QByteArray("02\r")
            << QByteArray("\"CR0\" \" 0 2 CR \" \" NO Key input \"\n");
    }
    void textLines()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, line);
        QCOMPARE(exchangeText(describeExchange(sent.toStdString(), reply.toStdString(), 3ms)), line);
    }

    void jsonLines_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QString>("trace");
        QTest::addColumn<QVariant>("status"); // invalid: no status field
        QTest::newRow("query") << QByteArray("CR0") << QByteArray("00\r") << true << " 0 0 CR "
                               << QVariant(" Power ON");
        QTest::newRow("acknowledged")
            << QByteArray("C00") << QByteArray("\x06\r") << true << " ACK CR " << QVariant();
        QTest::newRow("unanswered query")
            << QByteArray("CR0") << QByteArray() << false << " X X X X" << QVariant("");
    }
    void jsonLines()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, reply);
        QFETCH(bool, answered);
        QFETCH(QString, trace);
        QFETCH(QVariant, status);
        const QByteArray line =
            exchangeJson(describeExchange(sent.toStdString(), reply.toStdString(), 3.25ms));
        QVERIFY(line.endsWith('\n'));
        QCOMPARE(line.count('\n'), 1);
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(object.value("sent").toString(), QString::fromLatin1(sent));
        QCOMPARE(object.value("reply").toString(), QString::fromLatin1(reply));
        QCOMPARE(object.value("answered").toBool(), answered);
        QCOMPARE(object.value("trace").toString(), trace);
        QCOMPARE(object.value("ms").toDouble(), 3.3);
        QCOMPARE(object.contains("status"), status.isValid());
        if (status.isValid())
            QCOMPARE(object.value("status").toString(), status.toString());
    }

    void controlBytesAreEscapedInJson()
    {
        const QByteArray line = exchangeJson(describeExchange("C00", "\x06\r", 1ms));
        QVERIFY2(line.contains(R"("reply":"\u0006\r")"), line.constData());
    }
};

QTEST_GUILESS_MAIN(TestExchangeOutput)
#include "tst_exchangeoutput.moc"
