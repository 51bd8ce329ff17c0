#include "wire/numberreading.h"
#include "wire/pressure.h"
#include "wire/trace.h"

#include <limits>

#include <QTest>

namespace {

std::string_view view(const QByteArray &text)
{
    return std::string_view(text.constData(), static_cast<std::size_t>(text.size()));
}

const double Infinity = std::numeric_limits<double>::infinity();
const QByteArray OutOfRange = QByteArray(PressureOutOfRangeText.data(), PressureOutOfRangeText.size());

} // namespace

// Checks how a pressure reply is read as a number and converted to hPa.
class TestPressure : public QObject
{
    Q_OBJECT

private slots:
    void readsNumbers_data();
    void readsNumbers();
    void convertsReadings_data();
    void convertsReadings();
};

void TestPressure::readsNumbers_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("number");

    QTest::newRow("integer") << QByteArray("853") << 853.0;
    QTest::newRow("trace stops at the C of CR") << QByteArray(" 8 5 3 CR ") << 853.0;
    QTest::newRow("tabs and line feeds skipped anywhere") << QByteArray("\t1\n2 .\t5") << 12.5;
    QTest::newRow("negative decimal") << QByteArray("-12.5") << -12.5;
    QTest::newRow("plus sign") << QByteArray("+7") << 7.0;
    QTest::newRow("leading point") << QByteArray(".5") << 0.5;
    QTest::newRow("trailing point") << QByteArray("5.") << 5.0;
    QTest::newRow("second point stops") << QByteArray("1.2.3") << 1.2;
    QTest::newRow("E exponent") << QByteArray("1.5E2") << 150.0;
    QTest::newRow("D exponent") << QByteArray("1.5D2") << 150.0;
    QTest::newRow("negative exponent") << QByteArray("2E-1") << 0.2;
    QTest::newRow("exponent with plus") << QByteArray("2D+1") << 20.0;
    QTest::newRow("exponent letter without digits") << QByteArray("1E") << 1.0;
    QTest::newRow("exponent sign without digits") << QByteArray("1E+") << 1.0;
    QTest::newRow("sign alone") << QByteArray("-") << 0.0;
    QTest::newRow("point alone") << QByteArray(".") << 0.0;
    QTest::newRow("empty") << QByteArray() << 0.0;
    QTest::newRow("letter first") << QByteArray("ACK 1") << 0.0;
    QTest::newRow("blank between sign and digits") << QByteArray("- 4") << -4.0;
    QTest::newRow("hexadecimal") << QByteArray("&H1F") << 31.0;
    QTest::newRow("hexadecimal small letters") << QByteArray("&hff") << 255.0;
    QTest::newRow("hexadecimal reads on into the C of CR") << QByteArray(" & H 1 0 CR ") << 268.0;
    QTest::newRow("octal") << QByteArray("&O17") << 15.0;
    QTest::newRow("octal stops at 8") << QByteArray("&O18") << 1.0;
    QTest::newRow("prefix without digits") << QByteArray("&H") << 0.0;
    QTest::newRow("ampersand without prefix letter") << QByteArray("&12") << 0.0;
    QTest::newRow("huge exponent") << QByteArray("1E400") << Infinity;
    QTest::newRow("huge negative") << QByteArray("-1E400") << -Infinity;
    QTest::newRow("exponent past any integer") << QByteArray("1E99999999999999999999999") << Infinity;
    QTest::newRow("tiny exponent") << QByteArray("1E-400") << 0.0;
    QTest::newRow("four hundred digits") << QByteArray(400, '9') << Infinity;
    QTest::newRow("zero with huge exponent") << QByteArray("0.0E99999") << 0.0;
}

void TestPressure::readsNumbers()
{
    QFETCH(QByteArray, text);
    QFETCH(double, number);

    QCOMPARE(readNumber(view(text)), number);
}

void TestPressure::convertsReadings_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("853") << QByteArray("853\r") << QByteArray("1013 hPa");
    QTest::newRow("0") << QByteArray("0\r") << QByteArray("106 hPa");
    QTest::newRow("no number") << QByteArray("\x06\r") << QByteArray("106 hPa");
    QTest::newRow("8") << QByteArray("8") << QByteArray("114 hPa");
    QTest::newRow("12.5 rounds down to even 12") << QByteArray("12.5\r") << QByteArray("118 hPa");
    QTest::newRow("12.6 rounds to 13") << QByteArray("12.6\r") << QByteArray("119 hPa");
    QTest::newRow("13.5 rounds up to even 14") << QByteArray("13.5\r") << QByteArray("120 hPa");
    QTest::newRow("-12.5 rounds to even -12") << QByteArray("-12.5\r") << QByteArray("93 hPa");
    QTest::newRow("highest reading") << QByteArray("6553\r") << QByteArray("7077 hPa");
    QTest::newRow("6553.4 rounds into range") << QByteArray("6553.4\r") << QByteArray("7077 hPa");
    QTest::newRow("lowest reading") << QByteArray("-6553\r") << QByteArray("-6865 hPa");
    QTest::newRow("-6553.4 rounds into range") << QByteArray("-6553.4\r") << QByteArray("-6865 hPa");
    QTest::newRow("6553.5 rounds out of range") << QByteArray("6553.5\r") << OutOfRange;
    QTest::newRow("6554") << QByteArray("6554\r") << OutOfRange;
    QTest::newRow("-6553.5 rounds out of range") << QByteArray("-6553.5\r") << OutOfRange;
    QTest::newRow("-6554") << QByteArray("-6554\r") << OutOfRange;
    QTest::newRow("past 16 bits") << QByteArray("32768\r") << OutOfRange;
    QTest::newRow("would wrap to a small figure") << QByteArray("65536\r") << OutOfRange;
    QTest::newRow("hexadecimal past 16 bits") << QByteArray("&HFFFF") << OutOfRange;
    QTest::newRow("infinite") << QByteArray("1E400\r") << OutOfRange;
    QTest::newRow("minus infinite") << QByteArray("-1E400\r") << OutOfRange;
}

void TestPressure::convertsReadings()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, text);

    QCOMPARE(QByteArray::fromStdString(decodePressure(renderTrace(view(reply)))), text);
}

QTEST_GUILESS_MAIN(TestPressure)
#include "tst_pressure.moc"
