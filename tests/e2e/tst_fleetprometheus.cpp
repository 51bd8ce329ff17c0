#include "consoleprocess.h"
#include "httpget.h"
#include "loopbacklistener.h"
#include "simulatorprocess.h"

#include <csignal>
#include <memory>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {
// Long enough for a reconnect pause of 1 + 2 + 4 s and Prometheus' start on a loaded machine.
constexpr int SettleMs = 30000;
constexpr int StopMs = 5000;
constexpr int WatchSeconds = 1;
// Rounds of a steady projector looked at across another's loss and return.
constexpr int MinimumRounds = 5;

// A simulator of `count` projectors, on free ports or from `port` on.
struct Simulators
{
    explicit Simulators(int count, quint16 port = 0, bool verbose = false)
    {
        QStringList arguments{"--listen", QStringLiteral("127.0.0.1:%1").arg(port), "--count",
                              QString::number(count)};
        if (verbose)
            arguments << "--verbose";
        process.start(QStringLiteral(TAVO_PROJECTOR_SIM), arguments);
        QByteArray printed;
        // A simulator that did not start leaves the endpoints short, which the test then finds.
        (void)QTest::qWaitFor(
            [&] { return (printed += process.readAllStandardOutput()).count('\n') == count; }, SettleMs);
        for (const QByteArray &line : printed.trimmed().split('\n'))
            endpoints << QString::fromLatin1(line);
    }
    ~Simulators()
    {
        process.terminate();
        process.waitForFinished(StopMs);
    }
    QProcess process;
    QStringList endpoints;
};

// The body of a whole answer of 200 OK, or empty.
QByteArray bodyOf(quint16 port, const QByteArray &pathAndQuery)
{
    const HttpAnswer answer = httpGet(port, pathAndQuery);
    return answer.statusLine.startsWith("HTTP/1.1 200") ? answer.body : QByteArray();
}

// The real console watching a fleet file of these projectors ("NAME ENDPOINT" lines), serving metrics on
// a free port it names on stderr.
struct Console : AnnouncedConsole
{
    // No lines: the fleet file is there already.
    Console(const QTemporaryDir &dir, const QStringList &fleetLines)
        : AnnouncedConsole(QStringLiteral(TAVO_CONSOLE), dir.filePath("fleet"),
                           fleetLines.isEmpty() ? QByteArray() : fleetLines.join('\n').toUtf8() + '\n',
                           {"--metrics", "0"}, "metrics on http://127\\.0\\.0\\.1:(\\d+)/metrics")
    {
    }
    // A sample's value in a scrape of the console, or -1 when it has no such series.
    double sample(const QByteArray &series) const
    {
        const QByteArray body = bodyOf(port, "/metrics");
        const qsizetype at = body.indexOf('\n' + series + ' ');
        return at < 0 ? -1
                      : body.mid(at + series.size() + 2, body.indexOf('\n', at + 1) - at - series.size() - 2)
                            .toDouble();
    }
    bool waitFor(const QByteArray &series, double value) const
    {
        return QTest::qWaitFor([&] { return sample(series) == value; }, SettleMs);
    }
};

// Debian's prometheus on a free loopback port, scraping the console every second, with its data in a
// directory of the test's own.
struct Prometheus
{
    Prometheus(const QTemporaryDir &dir, quint16 metricsPort)
    {
        port = freeLoopbackPort();
        QFile config(dir.filePath("prometheus.yml"));
        if (!config.open(QIODevice::WriteOnly))
            qFatal("cannot write the Prometheus config");
        config.write(QStringLiteral("global:\n"
                                    "  scrape_interval: 1s\n"
                                    "scrape_configs:\n"
                                    "  - job_name: tavo-console\n"
                                    "    static_configs:\n"
                                    "      - targets: ['127.0.0.1:%1']\n")
                         .arg(metricsPort)
                         .toUtf8());
        config.close();
        process.start(QStandardPaths::findExecutable("prometheus"),
                      {"--config.file=" + config.fileName(), "--storage.tsdb.path=" + dir.filePath("data"),
                       QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port)});
    }
    ~Prometheus()
    {
        process.terminate();
        process.waitForFinished(StopMs);
    }
    // An instant query's result, each series' labels and value.
    QJsonArray query(const QString &expression) const
    {
        const QByteArray body = bodyOf(port, "/api/v1/query?query=" + QUrl::toPercentEncoding(expression));
        return QJsonDocument::fromJson(body).object().value("data").toObject().value("result").toArray();
    }
    // Waits until the query gives `series` series, each with this value.
    bool waitFor(const QString &expression, int series, double value) const
    {
        return QTest::qWaitFor(
            [&] {
                const QJsonArray result = query(expression);
                return result.size() == series &&
                       std::all_of(result.begin(), result.end(), [&](const QJsonValue &one) {
                           return one.toObject().value("value").toArray().at(1).toString().toDouble() ==
                                  value;
                       });
            },
            SettleMs);
    }
    QProcess process;
    quint16 port = 0;
};

// Every query of the dashboard shipped, with Grafana's variables filled as it fills them: every group,
// and a rate over a minute.
QStringList dashboardQueries()
{
    QFile file(QStringLiteral(TAVO_DASHBOARD));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList queries;
    for (const QJsonValue &panel :
         QJsonDocument::fromJson(file.readAll()).object().value("panels").toArray()) {
        for (const QJsonValue &target : panel.toObject().value("targets").toArray())
            queries << target.toObject()
                           .value("expr")
                           .toString()
                           .replace("$group", ".*")
                           .replace("$__rate_interval", "1m");
    }
    return queries;
}

// The fleet file replaced as an editor saves it: a new file renamed over the old, read-only.
void saveFleet(const QTemporaryDir &dir, const QByteArray &text)
{
    QFile saved(dir.filePath("fleet.new"));
    if (!saved.open(QIODevice::WriteOnly) || saved.write(text) < 0)
        qFatal("cannot write the fleet file");
    saved.close();
    saved.setPermissions(QFile::ReadOwner | QFile::ReadGroup);
    QFile::remove(dir.filePath("fleet"));
    if (!saved.rename(dir.filePath("fleet")))
        qFatal("cannot rename the fleet file");
}

// A second console on the fleet file, refused at once with the first one's pid.
bool refusedBeside(const QTemporaryDir &dir, const Console &first)
{
    const Outcome run =
        runConsole(QStringLiteral(TAVO_CONSOLE), {"--fleet", dir.filePath("fleet"), "--watch", "1"});
    const QByteArray words = "tavo-console: another tavo-console (pid " +
                             QByteArray::number(first.process.processId()) + ") watches this fleet";
    if (run.exitCode == 2 && run.err.startsWith(words) && run.err.count('\n') == 1)
        return true;
    qWarning("exit %d: %s", run.exitCode, run.err.constData());
    return false;
}

QStringList fleetLines(const QStringList &endpoints, const QString &prefix)
{
    QStringList lines;
    for (int i = 0; i < endpoints.size(); ++i)
        lines << QStringLiteral("%1%2 %3%4")
                     .arg(prefix)
                     .arg(i + 1)
                     .arg(endpoints[i])
                     .arg(i == 1 ? " 9600" : "");
    return lines;
}
} // namespace

// The fleet watch with --metrics, end to end: simulated projectors, the real console, and Debian's
// Prometheus reading the values back through its own HTTP API.
class TestFleetPrometheus : public QObject
{
    Q_OBJECT

private slots:
    void prometheusReadsTheFleetsValues()
    {
        const QString prometheus = QStandardPaths::findExecutable("prometheus");
        if (prometheus.isEmpty())
            QSKIP("prometheus is not installed (apt-get install prometheus)");
        QTemporaryDir dir;
        Simulators simulators(3);
        Console console(dir, fleetLines(simulators.endpoints, "hall-"));
        QVERIFY2(console.port != 0, console.err.constData());
        Prometheus server(dir, console.port);
        QVERIFY(server.waitFor("tavo_projector_up", 3, 1));
        // A simulated projector starts in standby with 1234 lamp hours and its standby temperatures.
        QVERIFY(server.waitFor("tavo_projector_lamp_time_seconds", 3, 1234 * 3600));
        QVERIFY(server.waitFor("tavo_projector_temperature_celsius{sensor=\"s2\"}", 3, 24.5));
        QVERIFY(server.waitFor("tavo_projector_pressure_pascals", 3, 101300));
        QVERIFY(server.waitFor("tavo_projector_power_state{state=\"standby\"}", 3, 1));
        QVERIFY(server.waitFor("sum(tavo_projector_power_state)", 1, 3));
        // Input, orientation, lamp mode, mute and status line: one series each, the value a label.
        QVERIFY(server.waitFor("tavo_projector_input_info{input=\"computer_1\"}", 3, 1));
        QVERIFY(server.waitFor("count by (projector) ({__name__=~\"tavo_projector_.+_info\"})", 3, 5));
        QVERIFY(server.waitFor("tavo_projector_info{projector=\"hall-2\",speed=\"9600\"}", 1, 1));
        QVERIFY(server.waitFor("tavo_projector_no_replies_total", 3, 0));
        const QStringList dashboard = dashboardQueries();
        QCOMPARE(dashboard.size(), 6);
        for (const QString &expression : dashboard)
            QTRY_VERIFY2_WITH_TIMEOUT(!server.query(expression).isEmpty(), qPrintable(expression), SettleMs);
    }

    void promtoolFindsNothingInTheConsolesScrape()
    {
        const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
        if (promtool.isEmpty())
            QSKIP("promtool is not installed (apt-get install prometheus)");
        QTemporaryDir dir;
        Simulators simulators(2);
        // One of them never answers: its series are there too, without values.
        const LoopbackListener silent;
        Console console(dir, fleetLines(simulators.endpoints, "room-")
                                 << QStringLiteral("silent tcp://127.0.0.1:%1").arg(silent.port()));
        QVERIFY(console.waitFor("tavo_projector_up{projector=\"room-2\"}", 1));
        QProcess check;
        check.start(promtool, {"check", "metrics"});
        check.write(bodyOf(console.port, "/metrics"));
        check.closeWriteChannel();
        QVERIFY(check.waitForFinished(StopMs));
        const QByteArray findings = check.readAllStandardOutput() + check.readAllStandardError();
        QVERIFY2(findings.isEmpty(), findings.constData());
        QCOMPARE(check.exitCode(), 0);
    }

    // SIGHUP reads the fleet file again while the metrics are scraped: the line that stayed keeps its
    // counters, the one removed leaves no series, the one added comes with its group; a wrong file keeps
    // the running fleet. The file stays held through it all, also once an editor replaced it.
    void aHangUpReloadsTheFleetAndOneConsoleHoldsIt()
    {
        QTemporaryDir dir;
        Simulators simulators(3);
        const QStringList &endpoint = simulators.endpoints;
        saveFleet(dir, ("hall-1 " + endpoint.value(0) + "\nhall-2 " + endpoint.value(1) + "\n").toUtf8());
        Console console(dir, {});
        QVERIFY(console.waitFor("tavo_projector_up{projector=\"hall-2\"}", 1));
        QCOMPARE(console.sample("tavo_fleet_reload_success"), 1.0);
        QVERIFY(refusedBeside(dir, console));
        const double exchanged = console.sample("tavo_projector_exchanges_total{projector=\"hall-1\"}");
        saveFleet(
            dir,
            ("hall-1 " + endpoint.value(0) + "\nhall-3 " + endpoint.value(2) + " group=west\n").toUtf8());
        QCOMPARE(::kill(console.process.processId(), SIGHUP), 0);
        QVERIFY(console.waitFor("tavo_projector_up{projector=\"hall-3\"}", 1));
        QCOMPARE(console.sample("tavo_projector_info{endpoint=\"" + endpoint.value(2).toUtf8() +
                                "\",group=\"west\",projector=\"hall-3\",speed=\"19200\"}"),
                 1.0);
        const QByteArray scrape = bodyOf(console.port, "/metrics");
        QVERIFY2(!scrape.contains("\"hall-2\""), scrape.constData());
        QVERIFY(console.sample("tavo_projector_exchanges_total{projector=\"hall-1\"}") > exchanged);
        QCOMPARE(console.sample("tavo_projector_reconnects_total{projector=\"hall-1\"}"), 0.0);
        QCOMPARE(console.sample("tavo_fleet_reload_success"), 1.0);
        QVERIFY(refusedBeside(dir, console));
        saveFleet(dir, ("hall-1 " + endpoint.value(0) + " colour=red\n").toUtf8());
        QCOMPARE(::kill(console.process.processId(), SIGHUP), 0);
        QVERIFY(console.waitFor("tavo_fleet_reload_success", 0));
        QCOMPARE(console.sample("tavo_projector_up{projector=\"hall-3\"}"), 1.0);
        console.err += console.process.readAllStandardError();
        QVERIFY2(
            console.err.contains(
                "fleet:1: 'colour=red': unknown field; a line takes group=, pjlink=, lend=; the fleet goes "
                "on as it was\n"),
            console.err.constData());
        QCOMPARE(console.process.state(), QProcess::Running);
    }

    void aMetricsPortInUseEndsTheRunAtStart()
    {
        QTemporaryDir dir;
        QFile fleet(dir.filePath("fleet"));
        QVERIFY(fleet.open(QIODevice::WriteOnly));
        const LoopbackListener projector;
        fleet.write(QStringLiteral("hall-a tcp://127.0.0.1:%1\n").arg(projector.port()).toUtf8());
        fleet.close();
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
        const Outcome run =
            runConsole(QStringLiteral(TAVO_CONSOLE), {"--fleet", fleet.fileName(), "--watch", "1",
                                                      "--metrics", QString::number(holder.serverPort())});
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.startsWith("tavo-console: cannot serve HTTP on 127.0.0.1:"), run.err.constData());
        QVERIFY(run.out.isEmpty());
    }

    void aBlackHoleDelaysNoOthersFirstRound()
    {
        QTemporaryDir dir;
        LoopbackListener hole;
        hole.fillAcceptQueue();
        Simulators simulators(2);
        Console console(dir, QStringList{QStringLiteral("hole tcp://127.0.0.1:%1").arg(hole.port())}
                                 << fleetLines(simulators.endpoints, "hall-"));
        QVERIFY(console.waitFor("tavo_projector_up{projector=\"hall-1\"}", 1));
        QVERIFY(console.waitFor("tavo_projector_up{projector=\"hall-2\"}", 1));
        // Both answered while the hole's connection is still pending: nothing about it was told yet.
        console.err += console.process.readAllStandardError();
        QVERIFY2(!console.err.contains("hole"), console.err.constData());
        QCOMPARE(console.sample("tavo_projector_up{projector=\"hole\"}"), 0.0);
    }

    void aRestartedServerGoesDownAndUpWhileTheOthersKeepTheirRounds()
    {
        QTemporaryDir dir;
        auto restarted = std::make_unique<Simulators>(1);
        const QString endpoint = restarted->endpoints.value(0);
        Simulators steady(1, 0, true);
        Console console(dir, {"restarted " + endpoint, "steady " + steady.endpoints.value(0)});
        QVERIFY(console.waitFor("tavo_projector_up{projector=\"restarted\"}", 1));
        QVERIFY(console.waitFor("tavo_projector_up{projector=\"steady\"}", 1));
        restarted.reset();
        QVERIFY(console.waitFor("tavo_projector_up{projector=\"restarted\"}", 0));
        restarted = std::make_unique<Simulators>(1, quint16(endpoint.section(':', -1).toUInt()));
        QCOMPARE(restarted->endpoints.value(0), endpoint);
        QVERIFY(console.waitFor("tavo_projector_up{projector=\"restarted\"}", 1));
        QVERIFY(console.sample("tavo_projector_reconnects_total{projector=\"restarted\"}") >= 1);
        QCOMPARE(console.sample("tavo_projector_no_replies_total{projector=\"steady\"}"), 0.0);
        // Every round of the steady one, through the loss and the return, came within two periods of the
        // one before.
        const QRegularExpression roundStart("(\\d\\d):(\\d\\d):(\\d\\d\\.\\d\\d\\d) RX C R 0 CR ");
        QByteArray steadyLog;
        QVERIFY(QTest::qWaitFor(
            [&] {
                steadyLog += steady.process.readAllStandardError();
                return steadyLog.count(" RX C R 0 CR ") >= MinimumRounds;
            },
            SettleMs));
        double previous = -1;
        for (const QByteArray &line : steadyLog.split('\n')) {
            const QRegularExpressionMatch match = roundStart.match(QString::fromLatin1(line));
            if (!match.hasMatch())
                continue;
            const double at = match.captured(1).toInt() * 3600 + match.captured(2).toInt() * 60 +
                              match.captured(3).toDouble();
            if (previous >= 0)
                QVERIFY2(at - previous < 2 * WatchSeconds, line.constData());
            previous = at;
        }
    }
};

QTEST_GUILESS_MAIN(TestFleetPrometheus)
#include "tst_fleetprometheus.moc"
