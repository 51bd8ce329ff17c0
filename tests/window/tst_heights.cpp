#include "consolefixture.h"

#include <QTest>

namespace {
constexpr int KeyJ = 'J';
constexpr int Shift = 1;
constexpr int Ctrl = 2;
constexpr int Alt = 4;
} // namespace

// The window's heights, the service chord and the data-panel toggle.
class TestHeights : public QObject
{
    Q_OBJECT

    static void apply(ConsoleFixture &console, const QString &event)
    {
        if (event == "chord")
            console.form.keyDown(KeyJ, Ctrl);
        else if (event == "dblclick")
            console.form.doubleClick("Image1");
        else if (event == "toggle")
            console.form.click("Command34");
    }

private slots:
    void heightsFollowTheirStateMachine_data()
    {
        QTest::addColumn<QString>("events");
        QTest::addColumn<double>("height");
        QTest::addColumn<int>("serviceMode");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("toggleShown");
        QTest::newRow("start") << "" << 5350.0 << 0 << "データを表示する" << false;
        QTest::newRow("chord") << "chord" << 7200.0 << 1 << "CLOSE" << true;
        QTest::newRow("double-click before the chord")
            << "dblclick" << 5350.0 << 0 << "データを表示する" << false;
        QTest::newRow("chord, double-click") << "chord dblclick" << 9100.0 << 1 << "CLOSE" << true;
        QTest::newRow("full, chord") << "chord dblclick chord" << 7200.0 << 1 << "CLOSE" << true;
        QTest::newRow("CLOSE at full")
            << "chord dblclick toggle" << 5350.0 << 0 << "データを表示する" << true;
        QTest::newRow("CLOSE at service") << "chord toggle" << 5350.0 << 0 << "データを表示する" << true;
        QTest::newRow("double-click after CLOSE")
            << "chord toggle dblclick" << 5350.0 << 0 << "データを表示する" << true;
        QTest::newRow("data panel") << "chord toggle toggle" << 6645.0 << 0 << "データを表示しない" << true;
        QTest::newRow("data panel closed")
            << "chord toggle toggle toggle" << 5350.0 << 0 << "データを表示する" << true;
    }
    void heightsFollowTheirStateMachine()
    {
        QFETCH(QString, events);
        QFETCH(double, height);
        QFETCH(int, serviceMode);
        QFETCH(QString, caption);
        QFETCH(bool, toggleShown);
        ConsoleFixture console;
        console.load();
        for (const QString &event : events.split(' ', Qt::SkipEmptyParts))
            apply(console, event);
        QCOMPARE(console.controls.height, height);
        QCOMPARE(int(console.form.fields().ServiceMode), serviceMode);
        QCOMPARE(QString::fromStdString(console.caption("Command34")), caption);
        QCOMPARE(console.controls.visible("Command34"), toggleShown);
        QVERIFY(console.port.written.empty());
    }

    void onlyCtrlJAlonePlaysTheChord_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("shift");
        QTest::addColumn<bool>("opens");
        QTest::newRow("Ctrl+J") << KeyJ << Ctrl << true;
        QTest::newRow("Ctrl+J with a higher modifier bit") << KeyJ << (Ctrl | 8) << true;
        QTest::newRow("Ctrl+Shift+J") << KeyJ << (Ctrl | Shift) << false;
        QTest::newRow("Ctrl+Alt+J") << KeyJ << (Ctrl | Alt) << false;
        QTest::newRow("J alone") << KeyJ << 0 << false;
        QTest::newRow("Ctrl+K") << int('K') << Ctrl << false;
    }
    void onlyCtrlJAlonePlaysTheChord()
    {
        QFETCH(int, key);
        QFETCH(int, shift);
        QFETCH(bool, opens);
        ConsoleFixture console;
        console.load();
        console.form.keyDown(key, shift);
        QCOMPARE(console.controls.height, opens ? 7200.0 : 5350.0);
    }

    void theToggleRestartsThePanelTimeOut()
    {
        ConsoleFixture console;
        console.load();
        console.form.click("Command33");
        console.advance(4000);
        console.form.keyDown(KeyJ, Ctrl);
        console.form.click("Command34");
        console.advance(4999);
        QVERIFY(console.controls.visible("Frame8"));
        console.advance(1);
        QVERIFY(!console.controls.visible("Frame8"));
    }

    void theToggleLeavesTheExchangeAlone()
    {
        ConsoleFixture console;
        console.load();
        console.form.click("Command44");
        console.form.click("Command34");
        QCOMPARE(console.form.fields().AwaitingReply, 1);
        QCOMPARE(console.caption("Label11"), std::string(" C R 0 CR "));
    }
};

QTEST_GUILESS_MAIN(TestHeights)
#include "tst_heights.moc"
