#include "link/loggedlink.h"
#include "link/trafficline.h"
#include "link/trafficlog.h"
#include "wire/trace.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {
using TimePoint = std::chrono::system_clock::time_point;

// A link that fails to open or is lost when the test says.
class ScriptedLink : public ByteLink
{
public:
    void open(const LineSettings &) override
    {
        if (!openFailure.empty())
            throw SerialError(SerialError::NoSuchDevice, openFailure);
        m_open = true;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void setLineSettings(const LineSettings &) override {}
    void write(const std::string &) override {}
    std::string readAll() override { return {}; }
    std::size_t bytesWaiting() const override { return 0; }

    void lose(const std::string &reason)
    {
        m_open = false;
        raiseLost(SerialError(SerialError::LineLost, reason));
    }

    std::string openFailure;

private:
    bool m_open = false;
};

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}
} // namespace

// The traffic log's lines, and the link that writes them.
class TestTrafficLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Times in these tests read the same on every machine.
        qputenv("TZ", "UTC");
        tzset();
    }

    void timestamps_data()
    {
        QTest::addColumn<qint64>("millisecondsSinceEpoch");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole second") << qint64(1714572187000) << "2024-05-01T14:03:07.000+00:00";
        QTest::newRow("milliseconds") << qint64(1714572187123) << "2024-05-01T14:03:07.123+00:00";
        QTest::newRow("last millisecond of a day")
            << qint64(1714607999999) << "2024-05-01T23:59:59.999+00:00";
        QTest::newRow("before the epoch") << qint64(-1) << "1969-12-31T23:59:59.999+00:00";
    }
    void timestamps()
    {
        QFETCH(qint64, millisecondsSinceEpoch);
        QFETCH(QString, text);
        const TimePoint at{std::chrono::milliseconds(millisecondsSinceEpoch)};
        QCOMPARE(QString::fromStdString(trafficTimestamp(at)), text);
    }

    void localTimeCarriesItsOffset()
    {
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        tzset();
        const QString summer = QString::fromStdString(trafficTimestamp(TimePoint{1714572187123ms}));
        const QString winter = QString::fromStdString(trafficTimestamp(TimePoint{1704067200000ms}));
        qputenv("TZ", "UTC");
        tzset();
        QCOMPARE(summer, QString("2024-05-01T16:03:07.123+02:00"));
        QCOMPARE(winter, QString("2024-01-01T01:00:00.000+01:00"));
    }

    void bytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("detail");
        QTest::newRow("command") << QByteArray("CR0\r") << "\" C R 0 CR \" 43 52 30 0D";
        QTest::newRow("blanks stay visible")
            << QByteArray("CR PRESSURE\r")
            << "\" C R   P R E S S U R E CR \" 43 52 20 50 52 45 53 53 55 52 45 0D";
        QTest::newRow("acknowledgement") << QByteArray("\x06\r") << "\" ACK CR \" 06 0D";
        QTest::newRow("nul and high bytes") << QByteArray("\0\xff", 2) << "\" ? ? \" 00 FF";
        QTest::newRow("nothing") << QByteArray() << "\" \" ";
    }
    void bytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, detail);
        QCOMPARE(QString::fromStdString(trafficBytes(bytes.toStdString())), detail);
    }

    void aChunkPastTheTraceLimitIsLoggedWhole()
    {
        const std::string chunk(TraceCharacterLimit + 3, 'A');
        const std::string detail = trafficBytes(chunk);
        const std::string trace = detail.substr(1, detail.find('"', 1) - 1);
        QCOMPARE(trace.size(), 1 + 2 * chunk.size());
        QCOMPARE(std::count(trace.begin(), trace.end(), 'A'), std::ptrdiff_t(chunk.size()));
        QVERIFY(detail.ends_with(" 41 41 41"));
    }

    void failuresAndLossesAreLogged()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("traffic.log");
        TrafficLog log(path.toStdString());
        auto inner = std::make_unique<ScriptedLink>();
        ScriptedLink &line = *inner;
        LoggedLink link(std::move(inner), log, "COM2 (tcp://127.0.0.1:7000)");
        QString lost;
        link.setOnLost([&](const SerialError &error) { lost = QString::fromStdString(error.description()); });

        line.openFailure = "no such device";
        QVERIFY_THROWS_EXCEPTION(SerialError, link.open(LineSettings{9600}));
        line.openFailure.clear();
        link.open(LineSettings{9600});
        line.lose("the connection was lost");

        QCOMPARE(lost, QString("the connection was lost"));
        const QStringList lines = linesOf(path);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].endsWith(" FAIL COM2 (tcp://127.0.0.1:7000) no such device"));
        QVERIFY(lines[1].endsWith(" OPEN COM2 (tcp://127.0.0.1:7000) 9600,N,8,1"));
        QVERIFY(lines[2].endsWith(" LOST COM2 (tcp://127.0.0.1:7000) the connection was lost"));
    }

    void appendsToWhatIsThereAndWritesEachLineAtOnce()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("traffic.log");
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("an earlier run\n");
        earlier.close();
        TrafficLog log(path.toStdString());
        log.write("TX", "COM1 (/dev/pts/3)", trafficBytes("C00\r"));
        // Read while the log is still open: nothing waits in a buffer.
        const QStringList lines = linesOf(path);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QString("an earlier run"));
        QVERIFY(lines[1].endsWith(" TX COM1 (/dev/pts/3) \" C 0 0 CR \" 43 30 30 0D"));
    }
};

QTEST_GUILESS_MAIN(TestTrafficLog)
#include "tst_trafficlog.moc"
