#include "qt/links/logfile.h"
#include "qt/window/consoleapp.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// What the console put together tells of its ports: in tooltips, and when start-up fails.
class TestConsoleApp : public QObject
{
    Q_OBJECT

private slots:
    void tooltipsFollowThePort_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QStringList>("states");
        QTest::newRow("at start") << QStringList{}
                                  << QStringList{"open, 19200,N,8,1", "closed; opens at 19200,N,8,1"};
        QTest::newRow("9600") << QStringList{"Command33", "Option10"}
                              << QStringList{"open, 9600,N,8,1", "closed; opens at 9600,N,8,1"};
        QTest::newRow("COM2") << QStringList{"Command33", "Option2"}
                              << QStringList{"closed; opens at 19200,N,8,1", "open, 19200,N,8,1"};
    }
    void tooltipsFollowThePort()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QStringList, states);
        QTemporaryDir folder;
        const std::string logFile = folder.filePath("traffic.log").toStdString();
        TrafficLog log(openLogFile(logFile), logFile);
        ConsoleOptions options;
        options.simulate = true;
        ConsoleApp app(options, &log);
        QVERIFY(app.start());
        for (const QString &name : clicks)
            QTest::mouseClick(app.window().control(name.toStdString()), Qt::LeftButton);
        QStringList tips;
        for (int port : {1, 2})
            tips << QString("COM%1: %2, simulated projector\n%3\ntraffic log: %4")
                        .arg(port)
                        .arg(app.simulators()[port - 1]->slavePath().c_str(), states[port - 1],
                             logFile.c_str());
        QCOMPARE(app.window().control("Option1")->toolTip(), tips[0]);
        QCOMPARE(app.window().control("Option2")->toolTip(), tips[1]);
        QCOMPARE(app.window().control("Command33")->toolTip(), tips.join("\n\n"));
    }

    void aFailedStartSaysHowToGoOn()
    {
        ConsoleOptions options;
        options.com1 = parseEndpoint("/dev/tavo-no-such-device");
        ConsoleApp app(options);
        QString shown;
        QTimer::singleShot(0, [&] {
            shown = QApplication::activeModalWidget()->property("text").toString();
            QApplication::activeModalWidget()->close();
        });
        QVERIFY(!app.start());
        QCOMPARE(shown, QString("COM1 (/dev/tavo-no-such-device): no such device\n%1\n\n(error 1)")
                            .arg(ConsoleApp::StartupHint));
    }
};

QTEST_MAIN(TestConsoleApp)
#include "tst_consoleapp.moc"
