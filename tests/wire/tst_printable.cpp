#include "wire/printable.h"

#include <QTest>

// Bytes from outside as one line of printable ASCII.
class TestPrintable : public QObject
{
    Q_OBJECT

private slots:
    void showsEveryOtherByteInHex_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qulonglong>("limit");
        QTest::addColumn<QByteArray>("shown");
        constexpr auto Whole = qulonglong(std::string::npos);
        QTest::newRow("printable ASCII kept, blank to tilde")
            << QByteArray(" AZ az 09 \"\\ ~") << Whole << QByteArray(" AZ az 09 \"\\ ~");
        QTest::newRow("line breaks, NUL and escape")
            << QByteArray("a\nb\rc\0d\x1b[2J", 11) << Whole << QByteArray("a\\x0Ab\\x0Dc\\x00d\\x1B[2J");
        QTest::newRow("DEL and the bytes above it")
            << QByteArray("\x7f\x80\xff") << Whole << QByteArray("\\x7F\\x80\\xFF");
        QTest::newRow("UTF-8 byte by byte") << QByteArray("p\xC3\xA9") << Whole << QByteArray("p\\xC3\\xA9");
        QTest::newRow("empty") << QByteArray() << Whole << QByteArray();
        QTest::newRow("cut at the limit") << QByteArray("abcdef") << qulonglong(4) << QByteArray("abcd");
        QTest::newRow("an escape is never cut") << QByteArray("ab\x01z") << qulonglong(5) << QByteArray("ab");
        QTest::newRow("an escape that fits whole")
            << QByteArray("ab\x01z") << qulonglong(6) << QByteArray("ab\\x01");
        QTest::newRow("no room at all") << QByteArray("abc") << qulonglong(0) << QByteArray();
    }
    void showsEveryOtherByteInHex()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qulonglong, limit);
        QFETCH(QByteArray, shown);
        const std::string text =
            printable(std::string_view(bytes.constData(), std::size_t(bytes.size())), std::size_t(limit));
        QCOMPARE(QByteArray::fromStdString(text), shown);
    }
};

QTEST_GUILESS_MAIN(TestPrintable)
#include "tst_printable.moc"
