#include "loopbacklistener.h"
#include "qt/links/logfile.h"
#include "qt/links/tcplink.h"
#include "qt/window/consoleapp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

namespace {
constexpr auto Tick = 50ms;

std::string tcp(std::uint16_t port)
{
    return "tcp://127.0.0.1:" + std::to_string(port);
}

// Closes each message box as soon as it opens, keeping its text and when it came.
struct BoxReader
{
    BoxReader()
    {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            if (QWidget *box = QApplication::activeModalWidget()) {
                texts << box->property("text").toString();
                shownAfterMs = since.elapsed();
                box->close();
            }
        });
        poll.start(10ms);
        since.start();
    }

    QTimer poll;
    QElapsedTimer since;
    QStringList texts;
    qint64 shownAfterMs = -1;
};

// A timer of the event loop's own, counting its ticks while the console waits for a server.
struct TickCounter
{
    TickCounter()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] { ++ticks; });
        timer.start(Tick);
    }
    QTimer timer;
    int ticks = 0;
};
} // namespace

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
        PortsAsked ports;
        ports.simulate = true;
        ConsoleApp app(ports, &log);
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

    // COM2's server never answers (its accept queue is full): while the console waits for it the event loop
    // runs and the window takes clicks, and after the connection's wait the operator is told as before.
    void aServerThatDoesNotAnswerLeavesTheWindowWorking()
    {
        QTcpServer com1;
        QVERIFY(com1.listen(QHostAddress::LocalHost));
        LoopbackListener blackHole;
        blackHole.fillAcceptQueue();
        PortsAsked ports;
        ports.com1 = parseEndpoint(tcp(com1.serverPort()));
        ports.com2 = parseEndpoint(tcp(blackHole.port()));
        ConsoleApp app(ports);
        QVERIFY(app.start());
        QTRY_VERIFY(app.window().isVisible());
        QTest::mouseClick(app.window().control("Command33"), Qt::LeftButton);
        BoxReader boxes;
        TickCounter counter;
        QTest::mouseClick(app.window().control("Option2"), Qt::LeftButton);
        QCOMPARE(app.window().cursor().shape(), Qt::BusyCursor);
        QVERIFY(app.window().control("Option2")->toolTip().contains("connecting"));
        QTest::mouseClick(app.window().control("Command44"), Qt::LeftButton);
        QCOMPARE(qobject_cast<QLabel *>(app.window().control("Label11"))->text(), QString(" C R 0 CR "));
        QTRY_VERIFY_WITH_TIMEOUT(!boxes.texts.isEmpty(), int(2 * TcpLink::ConnectWait.count()));
        QCOMPARE(boxes.texts, QStringList{QString::fromStdString("COM2 (" + ports.com2.text +
                                                                 "): no answer from 127.0.0.1")});
        QVERIFY2(boxes.shownAfterMs >= TcpLink::ConnectWait.count() - Tick.count(),
                 qPrintable(QString::number(boxes.shownAfterMs)));
        qInfo("told after %lld ms; a %lld ms timer ticked %d times meanwhile", boxes.shownAfterMs,
              qlonglong(Tick.count()), counter.ticks);
        // Its timer ticked throughout the wait, not in a burst after it.
        QVERIFY2(counter.ticks >= boxes.shownAfterMs / Tick.count() / 2,
                 qPrintable(QString::number(counter.ticks)));
        QVERIFY(app.window().control("Frame8")->isVisible());
        QCOMPARE(app.window().cursor().shape(), Qt::ArrowCursor);
        QVERIFY(app.window().control("Option1")->toolTip().contains("closed; opens at"));
    }

    // COM1's server never answers at start: the window is never shown, the event loop runs meanwhile, and
    // the failure is told as a missing device's, then ends the loop with 1.
    void aServerThatDoesNotAnswerAtStartEndsTheConsole()
    {
        LoopbackListener blackHole;
        blackHole.fillAcceptQueue();
        PortsAsked ports;
        ports.com1 = parseEndpoint(tcp(blackHole.port()));
        ConsoleApp app(ports);
        BoxReader boxes;
        TickCounter counter;
        QVERIFY(app.start());
        QObject deadline;
        QTimer::singleShot(2 * TcpLink::ConnectWait, &deadline, [] { QCoreApplication::exit(-1); });
        QCOMPARE(QApplication::exec(), 1);
        QVERIFY(!app.window().isVisible());
        QCOMPARE(boxes.texts,
                 QStringList{QString("COM1 (%1): no answer from 127.0.0.1\n%2\n\n(error 7)")
                                 .arg(QString::fromStdString(ports.com1.text), ConsoleApp::StartupHint)});
        QVERIFY2(counter.ticks >= boxes.shownAfterMs / Tick.count() / 2,
                 qPrintable(QString::number(counter.ticks)));
    }

    void aFailedStartSaysHowToGoOn()
    {
        PortsAsked ports;
        ports.com1 = parseEndpoint("/dev/tavo-no-such-device");
        ConsoleApp app(ports);
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
