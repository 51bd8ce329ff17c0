#include "serial/linesettings.h"
#include "serial/serialerror.h"

#include <QTest>

// Settings strings: the two the console writes, and what must be refused.
class TestLineSettings : public QObject
{
    Q_OBJECT

private slots:
    void readsSettings_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("baud");
        QTest::newRow("19200") << "19200,N,8,1" << true << 19200;
        QTest::newRow("9600") << "9600,N,8,1" << true << 9600;
        QTest::newRow("even parity two stops") << "4800,E,7,2" << true << 4800;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("three fields") << "19200,N,8" << false << 0;
        QTest::newRow("five fields") << "19200,N,8,1,1" << false << 0;
        QTest::newRow("lower-case parity") << "19200,n,8,1" << false << 0;
        QTest::newRow("nine data bits") << "19200,N,9,1" << false << 0;
        QTest::newRow("zero baud") << "0,N,8,1" << false << 0;
        QTest::newRow("baud with a blank") << "19200 ,N,8,1" << false << 0;
        QTest::newRow("huge baud") << "99999999999,N,8,1" << false << 0;
    }
    void readsSettings()
    {
        QFETCH(QString, settings);
        QFETCH(bool, valid);
        QFETCH(int, baud);
        if (!valid) {
            QVERIFY_THROWS_EXCEPTION(SerialError, parseLineSettings(settings.toStdString()));
            return;
        }
        const LineSettings line = parseLineSettings(settings.toStdString());
        QCOMPARE(line.baud, baud);
    }
};

QTEST_GUILESS_MAIN(TestLineSettings)
#include "tst_linesettings.moc"
