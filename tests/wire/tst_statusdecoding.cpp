#include "wire/decodingtables.h"
#include "wire/framing.h"
#include "wire/statusdecoding.h"
#include "wire/trace.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

// What receive mode hands the decoding: the trace of the reply as received.
std::optional<std::string> decodeReply(const QByteArray &lastCommand, const QByteArray &reply)
{
    const std::string trace =
        renderTrace(std::string_view(reply.constData(), static_cast<std::size_t>(reply.size())));
    return decodeStatus(
        std::string_view(lastCommand.constData(), static_cast<std::size_t>(lastCommand.size())), trace);
}

QByteArray query(const char *code)
{
    return QByteArray::fromStdString(frameCommand("", code));
}

// "(unchanged)" stands for no decoded text, so failures show which side is empty.
QByteArray shown(const std::optional<std::string> &decoded)
{
    return decoded ? QByteArray::fromStdString(*decoded) : QByteArray("(unchanged)");
}

const QByteArray Unchanged = "(unchanged)";

} // namespace

// Checks the texts that status replies decode to.
class TestStatusDecoding : public QObject
{
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void decodesWholeTrace_data();
    void decodesWholeTrace();
    void rowNamesAreStableKeys();
    void knowsEachQuerysReplyForm_data();
    void knowsEachQuerysReplyForm();
};

void TestStatusDecoding::decodes_data()
{
    QTest::addColumn<QByteArray>("lastCommand");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("text");

    const QByteArray cr0 = query("CR0");
    QTest::newRow("CR0 00") << cr0 << QByteArray("00\r") << QByteArray(" Power ON");
    QTest::newRow("CR0 80") << cr0 << QByteArray("80\r") << QByteArray(" Stand by");
    QTest::newRow("CR0 40") << cr0 << QByteArray("40\r") << QByteArray(" Count down");
    QTest::newRow("CR0 20") << cr0 << QByteArray("20\r") << QByteArray(" Cooling down");
    QTest::newRow("CR0 10") << cr0 << QByteArray("10\r") << QByteArray(" Power Fail");
    QTest::newRow("CR0 08") << cr0 << QByteArray("08\r") << QByteArray(" Temperature Warning");
    QTest::newRow("CR0 02 trailing blank") << cr0 << QByteArray("02\r") << QByteArray(" NO Key input ");
    QTest::newRow("CR0 04") << cr0 << QByteArray("04\r") << QByteArray(" Lamp OFF by PWR Management");
    QTest::newRow("CR0 28") << cr0 << QByteArray("28\r") << QByteArray(" Temperature Warning & cooling down");
    QTest::newRow("CR0 24 no leading blank")
        << cr0 << QByteArray("24\r") << QByteArray("Cooling down  PWR Management");
    QTest::newRow("CR0 88") << cr0 << QByteArray("88\r") << QByteArray(" Temperature Warning and recoverd");
    QTest::newRow("CR0 21") << cr0 << QByteArray("21\r") << QByteArray(" Cooling down (All Lamp FAIL)");
    QTest::newRow("CR0 81") << cr0 << QByteArray("81\r")
                            << QByteArray(" Cooling down & sutandby (All Lamp FAIL)");
    QTest::newRow("CR0 unknown key") << cr0 << QByteArray("99\r") << Unchanged;
    QTest::newRow("CR0 one character only") << cr0 << QByteArray("0") << Unchanged;
    QTest::newRow("CR0 nothing received") << cr0 << QByteArray() << Unchanged;
    QTest::newRow("CR0 leading ACK shifts the key") << cr0
                                                    << QByteArray("\x06"
                                                                  "00\r")
                                                    << Unchanged;
    QTest::newRow("CR0 small letter key") << cr0 << QByteArray("ff\r") << Unchanged;

    const QByteArray cr1 = query("CR1");
    QTest::newRow("CR1 1") << cr1 << QByteArray("1\r") << QByteArray(" Computer 1");
    QTest::newRow("CR1 2") << cr1 << QByteArray("2\r") << QByteArray(" Computer 2");
    QTest::newRow("CR1 3") << cr1 << QByteArray("3\r") << QByteArray(" Video");
    QTest::newRow("CR1 4") << cr1 << QByteArray("4\r") << QByteArray(" Input mode 4");
    QTest::newRow("CR1 only first character counts")
        << cr1 << QByteArray("12\r") << QByteArray(" Computer 1");
    QTest::newRow("CR1 unknown key") << cr1 << QByteArray("5\r") << Unchanged;

    const QByteArray cr4 = query("CR4");
    QTest::newRow("CR4 11") << cr4 << QByteArray("11\r") << QByteArray(" Normally");
    QTest::newRow("CR4 10") << cr4 << QByteArray("10\r") << QByteArray(" Top/Bottom reversal");
    QTest::newRow("CR4 01") << cr4 << QByteArray("01\r") << QByteArray(" Left/Right reversal");
    QTest::newRow("CR4 00") << cr4 << QByteArray("00\r") << QByteArray(" Top/Bottom , Left/Right reversal");

    const QByteArray cra = query("CRA");
    QTest::newRow("CRA 00") << cra << QByteArray("00\r") << QByteArray(" Video & Audio mute OFF");
    QTest::newRow("CRA 01") << cra << QByteArray("01\r") << QByteArray(" Video mute ON");
    QTest::newRow("CRA 02") << cra << QByteArray("02\r") << QByteArray(" Audio mute ON");
    QTest::newRow("CRA 03") << cra << QByteArray("03\r") << QByteArray(" Video & Audio mute ON");
    QTest::newRow("CRA 80 same key as CR0 stand-by") << cra << QByteArray("80\r") << QByteArray(" No signal");
    QTest::newRow("CRA FF") << cra << QByteArray("FF\r") << QByteArray(" Stand by");

    const QByteArray cr7 = query("CR7");
    QTest::newRow("CR7 00") << cr7 << QByteArray("00\r") << QByteArray(" All OFF : 2 Lamp mode");
    QTest::newRow("CR7 01") << cr7 << QByteArray("01\r") << QByteArray(" No1 ON  : 2 Lamp mode");
    QTest::newRow("CR7 02") << cr7 << QByteArray("02\r") << QByteArray(" No2 ON  : 2 Lamp mode");
    QTest::newRow("CR7 03") << cr7 << QByteArray("03\r") << QByteArray(" No1,2 ON  : 2 Lamp mode");
    QTest::newRow("CR7 10") << cr7 << QByteArray("10\r") << QByteArray(" All OFF : 1 Lamp mode(No1 USE)");
    QTest::newRow("CR7 11") << cr7 << QByteArray("11\r") << QByteArray(" No1 ON  : 1 Lamp mode(No1 USE)");
    QTest::newRow("CR7 20") << cr7 << QByteArray("20\r") << QByteArray(" All OFF : 1 Lamp mode(No2 USE)");
    QTest::newRow("CR7 22") << cr7 << QByteArray("22\r") << QByteArray(" No2 ON  : 1 Lamp mode(No2 USE)");

    QTest::newRow("not a query") << QByteArray("C00\r") << QByteArray("00\r") << Unchanged;
    QTest::newRow("query in small letters") << QByteArray("cr0\r") << QByteArray("00\r") << Unchanged;
    QTest::newRow("query with trailing blank") << QByteArray("CR0 \r") << QByteArray("00\r") << Unchanged;
    QTest::newRow("query with leading blank") << QByteArray(" CR0\r") << QByteArray("00\r") << Unchanged;
    QTest::newRow("query without CR") << QByteArray("CR0") << QByteArray("00\r") << Unchanged;
    QTest::newRow("query with two CRs") << QByteArray("CR0\r\r") << QByteArray("00\r") << Unchanged;
    QTest::newRow("pressure in small letters")
        << QByteArray("CR pressure\r") << QByteArray("853\r") << Unchanged;
    QTest::newRow("nothing sent yet") << QByteArray() << QByteArray("00\r") << Unchanged;

    const QByteArray cr3 = query("CR3");
    QTest::newRow("hours keep the rendered CR")
        << cr3 << QByteArray("01234\r") << QByteArray(" 0 1 2 3 4 CR  Hour Use");
    QTest::newRow("hours of 18 characters end in C")
        << cr3 << QByteArray("123456789012345678\r")
        << QByteArray(" 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 C Hour Use");
    QTest::newRow("hours of 19 characters show no CR")
        << cr3 << QByteArray("1234567890123456789\r")
        << QByteArray(" 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 Hour Use");
    QTest::newRow("hours show at most 19 characters")
        << cr3 << QByteArray("1234567890123456789ABCDEF\r")
        << QByteArray(" 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 Hour Use");
    QTest::newRow("hours of nothing") << cr3 << QByteArray() << QByteArray("  Hour Use");
    QTest::newRow("hours after ACK") << cr3
                                     << QByteArray("\x06"
                                                   "12\r")
                                     << QByteArray(" ACK 1 2 CR  Hour Use");

    const QByteArray cr6 = query("CR6");
    QTest::newRow("temperatures of 17 characters")
        << cr6 << QByteArray("ABCDEFGHIJKLMNOPQ\r")
        << QByteArray("  S1= A B C D E C  ,   S2=  H I J K C , S3= M N O P Q C");
    QTest::newRow("temperatures of two characters")
        << cr6 << QByteArray("00\r") << QByteArray("  S1= 0 0 CR  C  ,   S2=  C , S3= C");
    QTest::newRow("temperatures with S2 starting at the end")
        << cr6 << QByteArray("12345\r") << QByteArray("  S1= 1 2 3 4 5 C  ,   S2=  C , S3= C");
    QTest::newRow("temperatures with S3 cut short")
        << cr6 << QByteArray("ABCDEFGHIJKLM\r")
        << QByteArray("  S1= A B C D E C  ,   S2=  H I J K C , S3= M CR  C");
    QTest::newRow("temperatures after ACK")
        << cr6
        << QByteArray("\x06"
                      "ABCDEFGHIJKLMNOPQ\r")
        << QByteArray("  S1= ACK A B C C  ,   S2=  F G H I C , S3= K L M N O C");

    const QByteArray pressure = query("CR PRESSURE");
    QTest::newRow("pressure") << pressure << QByteArray("853\r") << QByteArray("1013 hPa");
    QTest::newRow("pressure first piece") << pressure << QByteArray("8") << QByteArray("114 hPa");
    QTest::newRow("pressure of nothing") << pressure << QByteArray() << QByteArray("106 hPa");
}

void TestStatusDecoding::decodes()
{
    QFETCH(QByteArray, lastCommand);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, text);

    QCOMPARE(shown(decodeReply(lastCommand, reply)), text);
}

void TestStatusDecoding::decodesWholeTrace_data()
{
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("ordinary reply") << QByteArray("0123\r");
    QTest::newRow("tokens and blanks") << QByteArray("\x06 a{\x14\n\r");
    QTest::newRow("nothing") << QByteArray();
}

void TestStatusDecoding::decodesWholeTrace()
{
    QFETCH(QByteArray, reply);

    const std::string trace =
        renderTrace(std::string_view(reply.constData(), static_cast<std::size_t>(reply.size())));
    QCOMPARE(shown(decodeStatus(frameCommand("", "CR9"), trace)), QByteArray::fromStdString(trace));
}

// Scripts match on these names: each is lower case, digits and '_', and names one row of its table.
void TestStatusDecoding::rowNamesAreStableKeys()
{
    const QRegularExpression keyForm(QStringLiteral("^[a-z0-9_]+$"));
    for (const DecodingTable &table : decodingTables()) {
        QSet<QString> seen;
        for (const DecodingRow &row : table.rows) {
            const QString name = QString::fromLatin1(row.name.data(), qsizetype(row.name.size()));
            QVERIFY2(keyForm.match(name).hasMatch(), qPrintable(name));
            QVERIFY2(!seen.contains(name), qPrintable(name));
            seen.insert(name);
        }
    }
}

// A reply another query would give is told apart from this query's as far as their forms differ.
void TestStatusDecoding::knowsEachQuerysReplyForm_data()
{
    QTest::addColumn<QByteArray>("lastCommand");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("fits");
    QTest::newRow("CR0 two characters") << query("CR0") << QByteArray("80\r") << true;
    QTest::newRow("CR0 no row, two characters") << query("CR0") << QByteArray("99\r") << true;
    QTest::newRow("CR0 lamp hours") << query("CR0") << QByteArray("01234\r") << false;
    QTest::newRow("CR1 one character") << query("CR1") << QByteArray("1\r") << true;
    QTest::newRow("CR1 two") << query("CR1") << QByteArray("00\r") << false;
    QTest::newRow("CR3 a reading") << query("CR3") << QByteArray("01234\r") << true;
    QTest::newRow("CR3 a status line") << query("CR3") << QByteArray("READY\r") << false;
    QTest::newRow("CR6 three temperatures") << query("CR6") << QByteArray("00038 00041 00036\r") << true;
    QTest::newRow("CR6 two characters") << query("CR6") << QByteArray("11\r") << false;
    QTest::newRow("CR9 anything") << query("CR9") << QByteArray("11\r") << true;
    QTest::newRow("CR PRESSURE a reading") << query("CR PRESSURE") << QByteArray("853\r") << true;
    QTest::newRow("CR PRESSURE a status line") << query("CR PRESSURE") << QByteArray("READY\r") << false;
    QTest::newRow("not a status query") << query("C00") << QByteArray("\x06\r") << true;
}

void TestStatusDecoding::knowsEachQuerysReplyForm()
{
    QFETCH(QByteArray, lastCommand);
    QFETCH(QByteArray, reply);
    QFETCH(bool, fits);
    const std::string bytes = reply.toStdString();
    QCOMPARE(fitsReplyForm(lastCommand.toStdString(), bytes, renderTrace(bytes)), fits);
}

QTEST_GUILESS_MAIN(TestStatusDecoding)
#include "tst_statusdecoding.moc"
