#include "link/loggedlink.h"
#include "link/trafficline.h"
#include "link/trafficlog.h"
#include "qt/links/logfile.h"
#include "wire/trace.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <utility>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {
using TimePoint = std::chrono::system_clock::time_point;

const TrafficLog::Clock FixedClock = [] { return TimePoint{1714572187123ms}; };

// The log's lines in memory. A held write waits until the test releases it, or until the log gives up
// on it; a write past failAfter fails.
class HeldSink : public LogSink
{
public:
    struct State
    {
        std::mutex mutex;
        std::condition_variable changed;
        std::string written;
        bool held = false;
        // A line ending in this word is held as the first one was.
        std::string holdAt;
        bool writing = false;
        int failAfter = -1;

        template <class Predicate> void waitUntil(Predicate predicate)
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return predicate(); });
        }
        void release()
        {
            const std::lock_guard lock(mutex);
            held = false;
            changed.notify_all();
        }
    };

    explicit HeldSink(std::shared_ptr<State> state) : m_state(std::move(state)) {}

    Result write(std::string_view bytes, const std::atomic<bool> &giveUp) override
    {
        std::unique_lock lock(m_state->mutex);
        if (m_state->failAfter-- == 0)
            return {Result::Outcome::Failed, "disk full"};
        if (!m_state->holdAt.empty() && bytes.ends_with(" " + m_state->holdAt + "\n"))
            m_state->held = true;
        m_state->writing = true;
        m_state->changed.notify_all();
        // The log's giving up is an atomic, not a signal this wait can hear: looked at every millisecond.
        while (m_state->held && !giveUp)
            m_state->changed.wait_for(lock, 1ms);
        m_state->writing = false;
        if (m_state->held)
            return {Result::Outcome::GaveUp, {}};
        m_state->written.append(bytes);
        m_state->changed.notify_all();
        return {};
    }
    std::optional<std::uint64_t> size() const override { return std::nullopt; }
    std::optional<std::string> startAfresh() override { return std::nullopt; }

private:
    std::shared_ptr<State> m_state;
};

// A link that fails to open or is lost when the test says; raw TCP when told.
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
    void write(const std::string &bytes) override { raiseSent(bytes); }
    std::string readAll() override { return std::exchange(arriving, {}); }
    std::size_t bytesWaiting() const override { return 0; }
    bool appliesLineSettings() const override { return !rawTcp; }

    void lose(const std::string &reason)
    {
        m_open = false;
        raiseLost(SerialError(SerialError::LineLost, reason));
    }

    std::string openFailure;
    bool rawTcp = false;
    std::string arriving;

private:
    bool m_open = false;
};

// A scripted link under a logging link, its log in memory.
struct LoggedLine
{
    explicit LoggedLine(const std::string &portName)
        : log(std::make_unique<HeldSink>(sink), "memory"), line(*new ScriptedLink),
          link(std::unique_ptr<ScriptedLink>(&line), log, portName)
    {
    }
    // The lines written, once the log has closed.
    QStringList lines()
    {
        log.close();
        return QString::fromStdString(sink->written).split('\n', Qt::SkipEmptyParts);
    }

    std::shared_ptr<HeldSink::State> sink = std::make_shared<HeldSink::State>();
    TrafficLog log;
    ScriptedLink &line;
    LoggedLink link;
};

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// Each line's last word: the number a rotation test wrote, or an earlier run's word.
QStringList lastWordsOf(const QString &path)
{
    QStringList words = linesOf(path);
    for (QString &word : words)
        word = word.section(' ', -1);
    return words;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// A log of a small queue whose writer is held on its first line, "0", until the sink is released.
std::unique_ptr<TrafficLog> heldOnItsFirstLine(const std::shared_ptr<HeldSink::State> &sink,
                                               std::size_t queueLimit)
{
    sink->held = true;
    auto log = std::make_unique<TrafficLog>(std::make_unique<HeldSink>(sink), "memory",
                                            TrafficLog::DefaultFileLimit, FixedClock, queueLimit);
    log->write("TX", "COM1", "0");
    sink->waitUntil([&] { return sink->writing; });
    return log;
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

    void aLongChunkShowsItsFirstBytes_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("at the limit, whole") << int(TrafficByteLimit);
        QTest::newRow("one past") << int(TrafficByteLimit) + 1;
        QTest::newRow("past the trace limit") << int(TraceCharacterLimit) + 3;
    }
    void aLongChunkShowsItsFirstBytes()
    {
        QFETCH(int, size);
        const std::string detail = trafficBytes(std::string(std::size_t(size), 'A'));
        const std::size_t shown = std::min(std::size_t(size), TrafficByteLimit);
        const std::string trace = detail.substr(1, detail.find('"', 1) - 1);
        QCOMPARE(trace.size(), 1 + 2 * shown);
        std::string rest = std::string(" ").append(hexBytes(std::string(shown, 'A')));
        if (std::size_t(size) > shown)
            rest.append(" ... ").append(std::to_string(std::size_t(size) - shown)).append(" more bytes");
        QCOMPARE(QString::fromStdString(detail.substr(trace.size() + 2)), QString::fromStdString(rest));
    }

    void failuresAndLossesAreLogged_data()
    {
        QTest::addColumn<bool>("rawTcp");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("changed");
        QTest::newRow("settings applied") << false << "9600,N,8,1"
                                          << "19200,N,8,1";
        QTest::newRow("raw TCP") << true << "the server's own speed"
                                 << "19200,N,8,1 not sent: the server's own speed applies";
    }
    void failuresAndLossesAreLogged()
    {
        QFETCH(bool, rawTcp);
        QFETCH(QString, opened);
        QFETCH(QString, changed);
        LoggedLine logged("COM2 (tcp://127.0.0.1:7000)");
        logged.line.rawTcp = rawTcp;
        QString lost;
        logged.link.setOnLost(
            [&](const SerialError &error) { lost = QString::fromStdString(error.description()); });

        logged.line.openFailure = "no such device";
        QVERIFY_THROWS_EXCEPTION(SerialError, logged.link.open(LineSettings{9600}));
        logged.line.openFailure.clear();
        logged.link.open(LineSettings{9600});
        logged.link.setLineSettings(LineSettings{19200});
        logged.line.lose("the connection was lost");

        QCOMPARE(lost, QString("the connection was lost"));
        const QStringList lines = logged.lines();
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].endsWith(" FAIL COM2 (tcp://127.0.0.1:7000) no such device"));
        QCOMPARE(lines[1].section(' ', 4), opened);
        QCOMPARE(lines[2].section(' ', 4), changed);
        QVERIFY(lines[3].endsWith(" LOST COM2 (tcp://127.0.0.1:7000) the connection was lost"));
    }

    // The RX line that ends a status query's reply says what it means; the command is framed.
    void aStatusReplyShowsItsValue_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("a name") << QByteArray("CR0\r") << QByteArrayList{"80\r"} << QStringList{" = standby"};
        QTest::newRow("in two pieces")
            << QByteArray("CR0\r") << QByteArrayList{"8", "0\r"} << QStringList{"", " = standby"};
        QTest::newRow("hours") << QByteArray("CR3\r") << QByteArrayList{"1234\r"} << QStringList{" = 1234 h"};
        QTest::newRow("pressure") << QByteArray("CR PRESSURE\r") << QByteArrayList{"853\r"}
                                  << QStringList{" = 1013 hPa"};
        QTest::newRow("only the reply's first CR")
            << QByteArray("CR0\r") << QByteArrayList{"80\r", "00\r"} << QStringList{" = standby", ""};
        QTest::newRow("a reply no table knows")
            << QByteArray("CR0\r") << QByteArrayList{"77\r"} << QStringList{""};
        QTest::newRow("not a status query")
            << QByteArray("C00\r") << QByteArrayList{"\x06"} << QStringList{""};
        QTest::newRow("the query without its CR")
            << QByteArray("CR0") << QByteArrayList{"80\r"} << QStringList{""};
    }
    void aStatusReplyShowsItsValue()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArrayList, pieces);
        QFETCH(QStringList, values);
        LoggedLine logged("COM1");
        logged.link.open(LineSettings{19200});
        logged.link.write(sent.toStdString());
        for (const QByteArray &piece : pieces) {
            logged.line.arriving = piece.toStdString();
            logged.link.readAll();
        }
        const QStringList lines = logged.lines();
        QCOMPARE(lines.size(), 2 + pieces.size());
        for (qsizetype i = 0; i < pieces.size(); ++i)
            QCOMPARE(lines[2 + i].section(' ', 3),
                     QString::fromStdString(trafficBytes(pieces[i].toStdString())) + values[i]);
    }

    // A name or a server's words cannot break a line of the log or forge another.
    void controlCharactersShowAsHex()
    {
        QCOMPARE(QString::fromStdString(trafficLine("T", "NOTE", "COM1 (/dev/a\nT OPEN b)", "x\ry\x1b\x7f")),
                 QString("T NOTE COM1 (/dev/a\\x0AT OPEN b) x\\x0Dy\\x1B\\x7F"));
    }

    void appendsToWhatIsThere()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("traffic.log");
        writeFile(path, "an earlier run\n");
        TrafficLog log(openLogFile(path.toStdString()), path.toStdString());
        log.write("TX", "COM1 (/dev/pts/3)", trafficBytes("C00\r"));
        QCOMPARE(log.close(), std::size_t(0));
        const QStringList lines = linesOf(path);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QString("an earlier run"));
        QVERIFY(lines[1].endsWith(" TX COM1 (/dev/pts/3) \" C 0 0 CR \" 43 30 30 0D"));
    }

    // The writer is held on the first line while more come than the queue holds.
    void whatTheWriterCannotKeepUpWithIsDroppedAndSaid()
    {
        constexpr std::size_t QueueLimit = 3;
        constexpr int Dropped = 5;
        auto sink = std::make_shared<HeldSink::State>();
        const auto log = heldOnItsFirstLine(sink, QueueLimit);
        for (std::size_t i = 1; i <= QueueLimit + Dropped; ++i)
            log->write("TX", "COM1", std::to_string(i));
        sink->release();
        sink->waitUntil([&] { return sink->written.find("DROPPED") != std::string::npos; });
        log->write("TX", "COM1", "after");
        QCOMPARE(log->close(), std::size_t(0));
        const QString time = QStringLiteral("2024-05-01T14:03:07.123+00:00");
        QCOMPARE(QString::fromStdString(sink->written), time + " TX COM1 0\n" + time + " TX COM1 1\n" + time +
                                                            " TX COM1 2\n" + time + " TX COM1 3\n" + time +
                                                            " DROPPED 5 lines: the log could not keep up\n" +
                                                            time + " TX COM1 after\n");
    }

    void linesLeftAtTheEndAreCounted_data()
    {
        QTest::addColumn<QString>("heldAgainAt");
        QTest::addColumn<int>("unwritten");
        QTest::addColumn<QStringList>("written");
        // The held line, the three queued and the two dropped.
        QTest::newRow("held on the first line") << QString() << 6 << QStringList{};
        // Lines 2 and 3, and the two dropped in place of their note.
        QTest::newRow("held within a batch that ends with a drop note")
            << QString("2") << 4 << QStringList{"0", "1"};
    }
    void linesLeftAtTheEndAreCounted()
    {
        QFETCH(QString, heldAgainAt);
        QFETCH(int, unwritten);
        QFETCH(QStringList, written);
        constexpr std::size_t QueueLimit = 3;
        auto sink = std::make_shared<HeldSink::State>();
        const auto log = heldOnItsFirstLine(sink, QueueLimit);
        for (int i = 1; i <= 5; ++i)
            log->write("TX", "COM1", std::to_string(i));
        if (!heldAgainAt.isEmpty()) {
            {
                const std::lock_guard lock(sink->mutex);
                sink->holdAt = heldAgainAt.toStdString();
            }
            sink->release();
            sink->waitUntil([&] { return sink->writing && sink->held; });
        }
        QCOMPARE(log->close(0ms), std::size_t(unwritten));
        QStringList words = QString::fromStdString(sink->written).split('\n', Qt::SkipEmptyParts);
        for (QString &word : words)
            word = word.section(' ', -1);
        QCOMPARE(words, written);
    }

    void aFailureIsToldOnceAndLoggingStops()
    {
        auto sink = std::make_shared<HeldSink::State>();
        sink->failAfter = 1;
        TrafficLog log(std::make_unique<HeldSink>(sink), "/var/log/t.log");
        QStringList told;
        log.setOnFailure([&](const std::string &message) { told << QString::fromStdString(message); });
        for (int i = 0; i < 3; ++i)
            log.write("TX", "COM1", std::to_string(i));
        QCOMPARE(log.close(), std::size_t(0));
        QVERIFY(log.failed());
        QCOMPARE(told, QStringList{
                           "the traffic log /var/log/t.log could not be written (disk full); logging stops"});
        QCOMPARE(QString::fromStdString(sink->written).count('\n'), 1);
    }

    void aFullFileMovesToFileDotOne_data()
    {
        QTest::addColumn<int>("limitLines");
        QTest::addColumn<int>("limitExtraBytes");
        QTest::addColumn<QByteArray>("earlier");
        QTest::addColumn<QByteArray>("earlierOld");
        QTest::addColumn<int>("written");
        QTest::addColumn<QStringList>("file");
        QTest::addColumn<QStringList>("old");
        QTest::newRow("up to the limit")
            << 3 << 0 << QByteArray() << QByteArray() << 3 << QStringList{"1", "2", "3"} << QStringList{};
        QTest::newRow("past it") << 2 << 0 << QByteArray() << QByteArray() << 3 << QStringList{"3"}
                                 << QStringList{"1", "2"};
        QTest::newRow("one old file kept") << 2 << 0 << QByteArray() << QByteArray("older\n") << 5
                                           << QStringList{"5"} << QStringList{"3", "4"};
        QTest::newRow("an earlier run counts") << 2 << 0 << QByteArray("earlier\n") << QByteArray() << 2
                                               << QStringList{"2"} << QStringList{"earlier", "1"};
    }
    void aFullFileMovesToFileDotOne()
    {
        QFETCH(int, limitLines);
        QFETCH(int, limitExtraBytes);
        QFETCH(QByteArray, earlier);
        QFETCH(QByteArray, earlierOld);
        QFETCH(int, written);
        QFETCH(QStringList, file);
        QFETCH(QStringList, old);
        QTemporaryDir dir;
        const QString path = dir.filePath("traffic.log");
        if (!earlier.isEmpty())
            writeFile(path, earlier);
        if (!earlierOld.isEmpty())
            writeFile(path + ".1", earlierOld);
        const std::size_t lineBytes =
            trafficLine(trafficTimestamp(FixedClock()), "TX", "COM1", "1").size() + 1;
        TrafficLog log(openLogFile(path.toStdString()), path.toStdString(),
                       limitLines * lineBytes + std::size_t(limitExtraBytes), FixedClock);
        for (int i = 1; i <= written; ++i)
            log.write("TX", "COM1", std::to_string(i));
        QCOMPARE(log.close(), std::size_t(0));
        QCOMPARE(lastWordsOf(path), file);
        QCOMPARE(lastWordsOf(path + ".1"), old);
    }

    // Each line is cut to the limit, the newline kept, and stands alone in its file.
    void aLineLongerThanTheLimitIsCutToFit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("traffic.log");
        const std::string line = trafficLine(trafficTimestamp(FixedClock()), "TX", "COM1", "1");
        const std::size_t limit = line.size() / 2;
        TrafficLog log(openLogFile(path.toStdString()), path.toStdString(), limit, FixedClock);
        log.write("TX", "COM1", "1");
        log.write("TX", "COM1", "2");
        QCOMPARE(log.close(), std::size_t(0));
        const QByteArray expected = QByteArray::fromStdString(line.substr(0, limit - 1)) + '\n';
        for (const QString &file : {path, path + ".1"}) {
            QFile read(file);
            QVERIFY(read.open(QIODevice::ReadOnly));
            QCOMPARE(read.readAll(), expected);
        }
    }

    // What stands at FILE when the log must start afresh: gone, moved away, or another file made there.
    void aFileGoneAwayIsBegunAfresh_data()
    {
        QTest::addColumn<QString>("movedTo");
        QTest::addColumn<QByteArray>("madeInItsPlace");
        QTest::addColumn<QStringList>("file");
        QTest::newRow("deleted") << QString() << QByteArray() << QStringList{"3"};
        QTest::newRow("moved away") << QString("traffic.log.0") << QByteArray() << QStringList{"3"};
        QTest::newRow("moved, a new file made")
            << QString("traffic.log.0") << QByteArray("new\n") << QStringList{"new", "3"};
    }
    void aFileGoneAwayIsBegunAfresh()
    {
        QFETCH(QString, movedTo);
        QFETCH(QByteArray, madeInItsPlace);
        QFETCH(QStringList, file);
        QTemporaryDir dir;
        const QString path = dir.filePath("traffic.log");
        const std::size_t lineBytes =
            trafficLine(trafficTimestamp(FixedClock()), "TX", "COM1", "1").size() + 1;
        TrafficLog log(openLogFile(path.toStdString()), path.toStdString(), 2 * lineBytes + 8, FixedClock);
        bool failed = false;
        log.setOnFailure([&](const std::string &) { failed = true; });
        log.write("TX", "COM1", "1");
        log.write("TX", "COM1", "2");
        // The writer has taken both lines once the file holds them.
        QTRY_COMPARE(QFileInfo(path).size(), qint64(2 * lineBytes));
        if (movedTo.isEmpty())
            QVERIFY(QFile::remove(path));
        else
            QVERIFY(QFile::rename(path, dir.filePath(movedTo)));
        if (!madeInItsPlace.isEmpty())
            writeFile(path, madeInItsPlace);
        log.write("TX", "COM1", "3");
        QCOMPARE(log.close(), std::size_t(0));
        QVERIFY(!failed);
        QCOMPARE(lastWordsOf(path), file);
        QVERIFY(!QFile::exists(path + ".1"));
        if (!movedTo.isEmpty())
            QCOMPARE(lastWordsOf(dir.filePath(movedTo)), (QStringList{"1", "2"}));
    }
};

QTEST_GUILESS_MAIN(TestTrafficLog)
#include "tst_trafficlog.moc"
