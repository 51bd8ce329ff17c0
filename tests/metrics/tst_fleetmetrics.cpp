#include "metrics/fleetmetrics.h"

#include <QTest>

using namespace std::chrono_literals;

namespace {
constexpr double Now = 1.7e9;

// The series a sink holds, as "family{label=value,...}" and its value, labels in name order.
struct RecordingSink : MetricsSink
{
    static std::string key(const MetricFamily &family, const MetricLabels &labels)
    {
        std::string text(family.name);
        text += '{';
        for (const auto &[name, value] : labels)
            text += name + '=' + value + (name == labels.rbegin()->first ? "" : ",");
        return text + '}';
    }
    void set(const MetricFamily &gauge, const MetricLabels &labels, double value) override
    {
        series[key(gauge, labels)] = value;
    }
    void add(const MetricFamily &counter, const MetricLabels &labels, double amount) override
    {
        series[key(counter, labels)] += amount;
    }
    void remove(const MetricFamily &gauge, const MetricLabels &labels) override
    {
        series.erase(key(gauge, labels));
    }
    void removeProjector(const std::string &projector) override
    {
        std::erase_if(series, [&projector](const auto &kept) {
            return kept.first.find("projector=" + projector + ",") != std::string::npos ||
                   kept.first.find("projector=" + projector + "}") != std::string::npos;
        });
    }

    // The series of one family.
    std::map<std::string, double> of(const MetricFamily &family) const
    {
        std::map<std::string, double> found;
        for (const auto &[name, value] : series) {
            if (name.starts_with(std::string(family.name) + '{'))
                found.emplace(name, value);
        }
        return found;
    }
    std::map<std::string, double> series;
};

// An exchange as the console makes it of these reply bytes; none: no reply came.
Exchange exchange(const std::string &query, const std::string &bytes)
{
    Reply reply;
    reply.add(bytes);
    return describeExchange(query, reply, 20ms);
}

// A fleet of one projector, hall-a, whose metrics a recording sink keeps.
struct Fleet
{
    Fleet() { metrics.projectorAdded({"hall-a", parseEndpoint("tcp://127.0.0.1:4001"), "9600,N,8,1", ""}); }
    // A round of these replies on an open line.
    void round(const std::vector<std::pair<std::string, std::string>> &replies)
    {
        bool answered = false;
        for (const auto &[query, bytes] : replies) {
            const Exchange asked = exchange(query, bytes);
            answered = answered || asked.answered;
            metrics.exchanged("hall-a", asked, true);
        }
        metrics.roundEnded("hall-a", answered);
    }
    double value(const std::string &series) const
    {
        const auto found = sink.series.find(series);
        return found == sink.series.end() ? -1 : found->second;
    }
    RecordingSink sink;
    FleetMetrics metrics{sink, [] { return Now; }};
};
} // namespace

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(std::vector<std::string>)

// What a fleet's callbacks make of its metrics: the series, their values, and what is never a reading.
class TestFleetMetrics : public QObject
{
    Q_OBJECT

private slots:
    void aProjectorThatNeverAnsweredIsDownWithNoValueSeries()
    {
        Fleet fleet;
        fleet.metrics.lineChanged("hall-a", true, "");
        fleet.round({{"CR0", ""}, {"CR3", ""}});
        const std::map<std::string, double> expected{
            {"tavo_projector_up{projector=hall-a}", 0},
            {"tavo_projector_info{endpoint=tcp://127.0.0.1:4001,group=,projector=hall-a,speed=9600}", 1},
            {"tavo_projector_exchanges_total{projector=hall-a}", 2},
            {"tavo_projector_no_replies_total{projector=hall-a}", 2},
            {"tavo_projector_refusals_total{projector=hall-a}", 0},
            {"tavo_projector_reconnects_total{projector=hall-a}", 0},
            {"tavo_projector_lent{projector=hall-a}", 0},
        };
        std::map<std::string, double> values = fleet.sink.series;
        // The power state is the watch's, and says it is unknown.
        QCOMPARE(values.extract("tavo_projector_power{projector=hall-a,state=unknown}").mapped(), 1.0);
        std::erase_if(values,
                      [](const auto &series) { return series.first.starts_with("tavo_projector_power{"); });
        QCOMPARE(values, expected);
    }

    void eachQueryBecomesItsSeriesInBaseUnits_data()
    {
        QTest::addColumn<std::string>("query");
        QTest::addColumn<std::string>("reply");
        QTest::addColumn<std::string>("series");
        QTest::addColumn<double>("value");
        QTest::newRow("lamp hours in seconds")
            << std::string("CR3") << std::string("01234\r")
            << std::string("tavo_projector_lamp_time_seconds{projector=hall-a}") << 1234.0 * 3600;
        QTest::newRow("first temperature")
            << std::string("CR6") << std::string("038.5 041.0 036.0\r")
            << std::string("tavo_projector_temperature_celsius{projector=hall-a,sensor=s1}") << 38.5;
        QTest::newRow("third temperature")
            << std::string("CR6") << std::string("038.5 041.0 036.0\r")
            << std::string("tavo_projector_temperature_celsius{projector=hall-a,sensor=s3}") << 36.0;
        QTest::newRow("pressure in pascals, from the console's hPa")
            << std::string("CR PRESSURE") << std::string("853\r")
            << std::string("tavo_projector_pressure_pascals{projector=hall-a}") << 101300.0;
        QTest::newRow("the current power state")
            << std::string("CR0") << std::string("00\r")
            << std::string("tavo_projector_power_state{projector=hall-a,state=power_on}") << 1.0;
        QTest::newRow("another power state")
            << std::string("CR0") << std::string("00\r")
            << std::string("tavo_projector_power_state{projector=hall-a,state=standby}") << 0.0;
        QTest::newRow("the selected input")
            << std::string("CR1") << std::string("3\r")
            << std::string("tavo_projector_input_info{input=video,projector=hall-a}") << 1.0;
        QTest::newRow("the picture orientation")
            << std::string("CR4") << std::string("10\r")
            << std::string(
                   "tavo_projector_orientation_info{orientation=top_bottom_reversed,projector=hall-a}")
            << 1.0;
        QTest::newRow("the lamp mode")
            << std::string("CR7") << std::string("03\r")
            << std::string("tavo_projector_lamp_mode_info{lamp_mode=both_on_2_lamp,projector=hall-a}") << 1.0;
        QTest::newRow("mute and signal")
            << std::string("CRA") << std::string("80\r")
            << std::string("tavo_projector_mute_info{mute=no_signal,projector=hall-a}") << 1.0;
        QTest::newRow("a reply no row knows is no state")
            << std::string("CR0") << std::string("77\r")
            << std::string("tavo_projector_power_state{projector=hall-a,state=power_on}") << 0.0;
        QTest::newRow("the status line's text")
            << std::string("CR9") << std::string("PWR ON IN PC1\r")
            << std::string("tavo_projector_status_line_info{projector=hall-a,text=PWR ON IN PC1}") << 1.0;
        QTest::newRow("the time of the last reply")
            << std::string("CR0") << std::string("00\r")
            << std::string("tavo_projector_last_reply_timestamp_seconds{projector=hall-a}") << Now;
    }
    void eachQueryBecomesItsSeriesInBaseUnits()
    {
        QFETCH(std::string, query);
        QFETCH(std::string, reply);
        QFETCH(std::string, series);
        QFETCH(double, value);
        Fleet fleet;
        fleet.metrics.lineChanged("hall-a", true, "");
        fleet.round({{query, reply}});
        QCOMPARE(fleet.value(series), value);
        QCOMPARE(fleet.value("tavo_projector_up{projector=hall-a}"), 1.0);
    }

    void aReadingTheConsoleCannotReadKeepsTheLastOne()
    {
        Fleet fleet;
        fleet.round({{"CR3", "01234\r"}});
        fleet.round({{"CR3", "12x4\r"}, {"CR3", "?\r"}});
        QCOMPARE(fleet.value("tavo_projector_lamp_time_seconds{projector=hall-a}"), 1234.0 * 3600);
        QCOMPARE(fleet.value("tavo_projector_refusals_total{projector=hall-a}"), 1.0);
    }

    void anInfoFamilyHoldsOneSeriesForTheCurrentValue_data()
    {
        QTest::addColumn<std::string>("query");
        QTest::addColumn<std::vector<std::string>>("replies");
        QTest::addColumn<std::vector<std::string>>("series");
        QTest::newRow("a new input replaces the old")
            << std::string("CR1") << std::vector<std::string>{"1\r", "3\r", "3\r"}
            << std::vector<std::string>{"tavo_projector_input_info{input=video,projector=hall-a}"};
        QTest::newRow("a reply no row knows leaves no series")
            << std::string("CR4") << std::vector<std::string>{"11\r", "77\r"} << std::vector<std::string>{};
        QTest::newRow("a refusal keeps the last")
            << std::string("CR7") << std::vector<std::string>{"00\r", "?\r"}
            << std::vector<std::string>{
                   "tavo_projector_lamp_mode_info{lamp_mode=all_off_2_lamp,projector=hall-a}"};
        QTest::newRow("a known value after an unknown one")
            << std::string("CRA") << std::vector<std::string>{"01\r", "77\r", "FF\r"}
            << std::vector<std::string>{"tavo_projector_mute_info{mute=standby,projector=hall-a}"};
        QTest::newRow("a new status line replaces the old")
            << std::string("CR9") << std::vector<std::string>{"first\r", "second\r"}
            << std::vector<std::string>{"tavo_projector_status_line_info{projector=hall-a,text=second}"};
    }
    void anInfoFamilyHoldsOneSeriesForTheCurrentValue()
    {
        QFETCH(std::string, query);
        QFETCH(std::vector<std::string>, replies);
        QFETCH(std::vector<std::string>, series);
        Fleet fleet;
        for (const std::string &reply : replies)
            fleet.round({{query, reply}});
        std::vector<std::string> held;
        for (const auto &[name, value] : fleet.sink.of(*findQueryMetric(query)->family)) {
            QCOMPARE(value, 1.0);
            held.push_back(name);
        }
        QCOMPARE(held, series);
    }

    void aHostileStatusLineKeepsOneBoundedPrintableSeries()
    {
        Fleet fleet;
        fleet.round({{"CR9", "first\r"}});
        const std::string hostile = "\"}\n\x01\xff" + std::string(ReplyLimit, 'x') + "\r";
        fleet.round({{"CR9", hostile}});
        const std::map<std::string, double> lines = fleet.sink.of(Metric::StatusLine);
        QCOMPARE(lines.size(), std::size_t(1));
        const std::string text = lines.begin()->first.substr(lines.begin()->first.find("text=") + 5);
        QCOMPARE(text, "\"}\\x0A\\x01\\xFF" + std::string(LabelValueLimit - 14, 'x') + "}");
    }

    // A device path of bytes that are not ASCII is shown whole, each such byte escaped.
    void anEndpointIsShownWholeInPrintableAscii()
    {
        Fleet fleet;
        fleet.metrics.projectorAdded(
            {"hall-b", parseEndpoint("/dev/serial/by-id/usb-\xC3\xA9\n"), "9600,N,8,1", "west"});
        QVERIFY(fleet.sink.series.contains("tavo_projector_info{endpoint=/dev/serial/by-id/"
                                           "usb-\\xC3\\xA9\\x0A,group=west,projector=hall-b,speed=9600}"));
    }

    // A projector a reload removed leaves no series behind, its neighbour's all stay; a reload refused
    // keeps the time of the last good one.
    void aRemovedProjectorLeavesNoSeries()
    {
        Fleet fleet;
        fleet.metrics.projectorAdded({"hall-a2", parseEndpoint("tcp://127.0.0.1:4002"), "9600,N,8,1", ""});
        fleet.metrics.lineChanged("hall-a", true, "");
        fleet.round({{"CR0", "00\r"}, {"CR1", "3\r"}, {"CR6", "038.5 041.0 036.0\r"}});
        fleet.metrics.fleetRead(true);
        std::map<std::string, double> neighbour = fleet.sink.series;
        std::erase_if(neighbour,
                      [](const auto &series) { return series.first.find("=hall-a2") == std::string::npos; });
        fleet.metrics.projectorRemoved("hall-a");
        fleet.metrics.fleetRead(false);
        std::map<std::string, double> left = fleet.sink.series;
        QCOMPARE(left.extract("tavo_fleet_reload_success{}").mapped(), 0.0);
        QCOMPARE(left.extract("tavo_fleet_reload_timestamp_seconds{}").mapped(), Now);
        QCOMPARE(left, neighbour);
    }

    void aLostLineIsDownAndItsReturnAReconnect()
    {
        Fleet fleet;
        fleet.metrics.lineChanged("hall-a", true, "");
        fleet.round({{"CR0", "00\r"}});
        fleet.metrics.lineChanged("hall-a", false, "the connection was closed");
        QCOMPARE(fleet.value("tavo_projector_up{projector=hall-a}"), 0.0);
        // The values of the last exchange stay, as a scrape serves them.
        QCOMPARE(fleet.value("tavo_projector_power_state{projector=hall-a,state=power_on}"), 1.0);
        fleet.metrics.lineChanged("hall-a", false, "refused");
        fleet.metrics.lineChanged("hall-a", true, "");
        QCOMPARE(fleet.value("tavo_projector_reconnects_total{projector=hall-a}"), 1.0);
        QCOMPARE(fleet.value("tavo_projector_up{projector=hall-a}"), 0.0);
        fleet.round({{"CR0", "80\r"}});
        QCOMPARE(fleet.value("tavo_projector_up{projector=hall-a}"), 1.0);
        QCOMPARE(fleet.value("tavo_projector_power_state{projector=hall-a,state=power_on}"), 0.0);
    }

    // One series per power state, only the current one at 1.
    void thePowerStateIsAStateSet()
    {
        Fleet fleet;
        fleet.metrics.powerChanged("hall-a", PowerState::Cooling);
        const std::map<std::string, double> power = fleet.sink.of(Metric::Power);
        QCOMPARE(power.size(), powerStateNames().size());
        QCOMPARE(
            std::count_if(power.begin(), power.end(), [](const auto &series) { return series.second == 1; }),
            1);
        QCOMPARE(fleet.value("tavo_projector_power{projector=hall-a,state=cooling}"), 1.0);
    }

    void aLentLineIsOneUntilTakenBack()
    {
        Fleet fleet;
        fleet.metrics.lineLent("hall-a", "127.0.0.1:51000");
        QCOMPARE(fleet.value("tavo_projector_lent{projector=hall-a}"), 1.0);
        fleet.metrics.lineLent("hall-a", "");
        QCOMPARE(fleet.value("tavo_projector_lent{projector=hall-a}"), 0.0);
    }

    void aCommandFromOutsideCountsAsAnExchange()
    {
        Fleet fleet;
        fleet.metrics.commanded("hall-a", exchange("C00", "?\r"));
        QCOMPARE(fleet.value("tavo_projector_exchanges_total{projector=hall-a}"), 1.0);
        QCOMPARE(fleet.value("tavo_projector_refusals_total{projector=hall-a}"), 1.0);
        QVERIFY(fleet.sink.of(Metric::PowerState).empty());
    }
};

QTEST_GUILESS_MAIN(TestFleetMetrics)
#include "tst_fleetmetrics.moc"
