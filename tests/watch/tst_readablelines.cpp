#include "watch/readablelines.h"
#include "wire/valuekeys.h"

#include <QTest>

using namespace std::chrono_literals;

namespace {
Exchange answered(const std::string &query, const std::string &reply)
{
    Reply arrived;
    arrived.add(reply);
    return describeExchange(query, arrived, 5ms);
}
} // namespace

// A fleet's text as a person reads it: decoded values with units, aligned names, bounded lines.
class TestReadableLines : public QObject
{
    Q_OBJECT

private slots:
    void values_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("readable");
        QTest::newRow("power state") << "CR0"
                                     << "80\r"
                                     << "standby";
        QTest::newRow("input") << "CR1"
                               << "3\r"
                               << "video";
        QTest::newRow("lamp hours") << "CR3"
                                    << "01234\r"
                                    << "1234 h";
        QTest::newRow("temperatures") << "CR6"
                                      << "038.5 041.0 036.0\r"
                                      << "38.5 41.0 36.0 \u00b0C";
        QTest::newRow("pressure") << "CR PRESSURE"
                                  << "853\r"
                                  << "1013 hPa";
        QTest::newRow("no answer") << "CR3"
                                   << ""
                                   << "unknown";
        QTest::newRow("text escaped") << "CR9"
                                      << "PWR\x01ON\r"
                                      << "PWR\\x01ON";
    }
    void values()
    {
        QFETCH(QString, query);
        QFETCH(QString, reply);
        QFETCH(QString, readable);
        const Exchange exchange = answered(query.toStdString(), reply.toLatin1().toStdString());
        QVERIFY(exchange.value);
        QCOMPARE(QString::fromStdString(readableValue(std::string(valueKey(exchange.sent)), *exchange.value)),
                 readable);
    }

    // The first round is one line of main values, told again after a loss; later rounds tell changes only.
    void aFleetReadsAsLines()
    {
        ReadableLines lines;
        lines.add("hall-a");
        lines.add("auditorium");
        const std::vector<Exchange> round = {answered("CR0", "80\r"), answered("CR9", "PWR\r"),
                                             answered("CR3", "00042\r"), answered("CR1", "3\r")};
        for (const Exchange &exchange : round)
            QVERIFY(!lines.exchanged("T", "hall-a", exchange, true));
        QCOMPARE(
            lines.roundEnded("T", "hall-a"),
            std::optional<std::string>("T hall-a      power_state standby  input video  lamp_hours 42 h"));
        QVERIFY(!lines.exchanged("T", "hall-a", round[0], false));
        QCOMPARE(lines.exchanged("T", "hall-a", answered("CR0", "00\r"), true),
                 std::optional<std::string>("T hall-a      power_state power_on"));
        QVERIFY(!lines.roundEnded("T", "hall-a"));
        lines.lost("hall-a");
        QVERIFY(!lines.exchanged("T", "hall-a", round[2], true));
        QCOMPARE(lines.roundEnded("T", "hall-a"),
                 std::optional<std::string>("T hall-a      lamp_hours 42 h"));
    }

    // A line too long is cut at the limit, never inside the degree sign's two bytes.
    void noLinePassesItsLimit()
    {
        ReadableLines lines;
        const std::string name(48, 'n');
        lines.add(name);
        QVERIFY(!lines.exchanged("2026-12-09T10:00:00", name, answered("CR6", "038.5 041.0 036.0\r"), true));
        QVERIFY(!lines.exchanged("2026-12-09T10:00:00", name, answered("CR0", "80\r"), true));
        const std::optional<std::string> line = lines.roundEnded("2026-12-09T10:00:00", name);
        QVERIFY(line);
        QCOMPARE(line->size(), ReadableLines::LineLimitBytes - 1);
        QVERIFY2(!QString::fromStdString(*line).contains(QChar::ReplacementCharacter), line->c_str());
    }
};

QTEST_GUILESS_MAIN(TestReadableLines)
#include "tst_readablelines.moc"
