#include "qt/window/displaycheck.h"

#include <QTemporaryDir>
#include <QTest>

// Whether the window has a display to open on, from the environment alone.
class TestDisplayCheck : public QObject
{
    Q_OBJECT

private slots:
    void decides_data()
    {
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<bool>("available");
        QTest::newRow("nothing set") << QStringList{} << false;
        QTest::newRow("X display") << QStringList{"DISPLAY=:0"} << true;
        QTest::newRow("empty X display") << QStringList{"DISPLAY="} << false;
        QTest::newRow("Wayland display") << QStringList{"WAYLAND_DISPLAY=wayland-1"} << true;
        QTest::newRow("Wayland session without its socket")
            << QStringList{"XDG_SESSION_TYPE=wayland"} << false;
        QTest::newRow("offscreen") << QStringList{"QT_QPA_PLATFORM=offscreen"} << true;
        QTest::newRow("offscreen with options")
            << QStringList{"QT_QPA_PLATFORM=offscreen:size=800x600"} << true;
        QTest::newRow("frame buffer") << QStringList{"QT_QPA_PLATFORM=linuxfb"} << true;
        QTest::newRow("xcb without DISPLAY") << QStringList{"QT_QPA_PLATFORM=xcb"} << false;
        QTest::newRow("xcb named, Wayland there")
            << QStringList{"QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY=w"} << false;
        QTest::newRow("xcb with DISPLAY") << QStringList{"QT_QPA_PLATFORM=xcb", "DISPLAY=:1"} << true;
        QTest::newRow("wayland without a compositor")
            << QStringList{"QT_QPA_PLATFORM=wayland", "DISPLAY=:0"} << false;
        QTest::newRow("list falls back to X")
            << QStringList{"QT_QPA_PLATFORM=wayland;xcb", "DISPLAY=:0"} << true;
        QTest::newRow("list with nothing there") << QStringList{"QT_QPA_PLATFORM=wayland;xcb"} << false;
        QTest::newRow("blank platform is unset") << QStringList{"QT_QPA_PLATFORM= ", "DISPLAY=:0"} << true;
    }
    void decides()
    {
        QFETCH(QStringList, variables);
        QFETCH(bool, available);
        QProcessEnvironment environment;
        for (const QString &variable : variables)
            environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
        QCOMPARE(displayAvailable(environment), available);
    }

    void aWaylandSocketWithoutItsVariable()
    {
        QTemporaryDir runtime;
        QProcessEnvironment environment;
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
        environment.insert("XDG_SESSION_TYPE", "wayland");
        QVERIFY(!displayAvailable(environment));
        QFile socket(runtime.filePath("wayland-0"));
        QVERIFY(socket.open(QIODevice::WriteOnly));
        QVERIFY(displayAvailable(environment));
    }
};

QTEST_GUILESS_MAIN(TestDisplayCheck)
#include "tst_displaycheck.moc"
