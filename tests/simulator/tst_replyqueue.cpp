#include "simulator/replyqueue.h"

#include <QTest>

using namespace std::chrono_literals;

namespace {
// A reply of one piece of `bytes` bytes, due at `at`.
std::vector<Transmission> reply(std::size_t bytes, std::chrono::milliseconds at = 0ms, char fill = 'x')
{
    return {{at, std::string(bytes, fill)}};
}
} // namespace

// The simulated projector's bounded output buffer, on an explicit clock.
class TestReplyQueue : public QObject
{
    Q_OBJECT

private slots:
    void aReplyIsTakenWholeOrNotAtAll_data()
    {
        QTest::addColumn<int>("taken");
        QTest::addColumn<int>("second");
        QTest::addColumn<bool>("fits");
        // A capacity of 10 bytes and a first reply of 6, released; the line takes some of it.
        QTest::newRow("fills it exactly") << 0 << 4 << true;
        QTest::newRow("one byte over") << 0 << 5 << false;
        QTest::newRow("room made by the line") << 3 << 7 << true;
        QTest::newRow("not enough room made") << 3 << 8 << false;
        QTest::newRow("all of it taken") << 6 << 10 << true;
    }
    void aReplyIsTakenWholeOrNotAtAll()
    {
        QFETCH(int, taken);
        QFETCH(int, second);
        QFETCH(bool, fits);
        ReplyQueue queue(10);
        QVERIFY(queue.add(reply(6)));
        queue.release(0ms);
        queue.taken(std::size_t(taken));
        QCOMPARE(queue.add(reply(std::size_t(second), 0ms, 'y')), fits);
        QCOMPARE(queue.waitingBytes(), std::size_t(6 - taken + (fits ? second : 0)));
        queue.release(0ms);
        QCOMPARE(queue.outgoing(),
                 std::string(std::size_t(6 - taken), 'x') + std::string(fits ? second : 0, 'y'));
    }

    void aReplyNeverStartsBeforeThePreviousOneHasEnded()
    {
        ReplyQueue queue;
        QVERIFY(queue.add({{20ms, "a1"}, {30ms, "a2"}, {40ms, "a3"}}));
        QVERIFY(queue.add({{25ms, "b1"}, {35ms, "b2"}}));
        QCOMPARE(queue.nextDue(), std::optional(20ms));
        QCOMPARE(queue.release(39ms), (std::vector<std::string>{"a1", "a2"}));
        QCOMPARE(queue.release(40ms), (std::vector<std::string>{"a3", "b1"}));
        // The gap between its pieces is kept.
        QCOMPARE(queue.nextDue(), std::optional(50ms));
        queue.release(50ms);
        QCOMPARE(queue.outgoing(), std::string_view("a1a2a3b1b2"));
        QVERIFY(!queue.nextDue());
        // A reply that comes after the line fell quiet keeps its own time.
        QVERIFY(queue.add(reply(1, 90ms)));
        QCOMPARE(queue.nextDue(), std::optional(90ms));
    }

    void aLineThatIsGoneForgetsEverything()
    {
        ReplyQueue queue(10);
        queue.add(reply(4));
        queue.release(0ms);
        queue.add(reply(4, 50ms));
        queue.clear();
        QCOMPARE(queue.waitingBytes(), std::size_t(0));
        QVERIFY(queue.outgoing().empty());
        QVERIFY(!queue.nextDue());
        QVERIFY(queue.add(reply(10)));
    }
};

QTEST_GUILESS_MAIN(TestReplyQueue)
#include "tst_replyqueue.moc"
