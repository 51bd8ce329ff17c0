#include "link/endpoint.h"
#include "qt/links/logfile.h"
#include "qt/window/consoleapp.h"

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// What the console put together tells the operator of its ports: in tooltips, and when start-up fails.
class TestConsoleApp : public QObject
{
    Q_OBJECT

private slots:
    void tooltipsFollowThePort_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<int>("openPort");
        QTest::addColumn<QString>("settings");
        QTest::newRow("at start") << QStringList{} << 1 << "19200,N,8,1";
        QTest::newRow("9600 chosen") << QStringList{"Command33", "Option10"} << 1 << "9600,N,8,1";
        QTest::newRow("COM2 chosen") << QStringList{"Command33", "Option2"} << 2 << "19200,N,8,1";
    }
    void tooltipsFollowThePort()
    {
        QFETCH(QStringList, clicks);
        QFETCH(int, openPort);
        QFETCH(QString, settings);
        QTemporaryDir folder;
        const QString logFile = folder.filePath("traffic.log");
        TrafficLog log(openLogFile(logFile.toStdString()), logFile.toStdString());
        ConsoleOptions options;
        options.simulate = true;
        options.logFile = logFile;
        ConsoleApp app(options, &log);
        QVERIFY(app.start());
        for (const QString &name : clicks)
            QTest::mouseClick(app.window().findChild<QWidget *>(name), Qt::LeftButton);

        QString tips[2];
        for (int port : {1, 2}) {
            const bool open = port == openPort;
            tips[port - 1] = QStringLiteral("COM%1: %2, simulated projector\n%3 %4\ntraffic log: %5")
                                 .arg(port)
                                 .arg(QString::fromStdString(app.simulators()[port - 1]->slavePath()),
                                      open ? "open," : "closed; opens at", settings, logFile);
        }
        QCOMPARE(app.window().findChild<QWidget *>("Option1")->toolTip(), tips[0]);
        QCOMPARE(app.window().findChild<QWidget *>("Option2")->toolTip(), tips[1]);
        QCOMPARE(app.window().findChild<QWidget *>("Command33")->toolTip(), tips[0] + "\n\n" + tips[1]);
    }

    void aFailedStartSaysHowToGoOn()
    {
        ConsoleOptions options;
        options.com1 = parseEndpoint("/dev/tavo-no-such-device");
        ConsoleApp app(options);
        QString shown;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            shown = box->text();
            box->close();
        });
        QVERIFY(!app.start());
        const QStringList lines = shown.split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QString("COM1 (/dev/tavo-no-such-device): no such device"));
        QCOMPARE(lines[1], QString(ConsoleApp::StartupHint));
        QCOMPARE(lines[3], QString("(error %1)").arg(SerialError::NoSuchDevice));
    }
};

QTEST_MAIN(TestConsoleApp)
#include "tst_consoleapp.moc"
