#include "link/linesettings.h"
#include "link/serialerror.h"

#include <QTest>

// Settings strings: the two the console writes, the general form, and what must be refused and why.
class TestLineSettings : public QObject
{
    Q_OBJECT

private slots:
    void readsTheFields_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("baud");
        QTest::addColumn<char>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopBits");
        QTest::newRow("console's default") << "19200,N,8,1" << 19200 << 'N' << 8 << 1;
        QTest::newRow("console's low speed") << "9600,N,8,1" << 9600 << 'N' << 8 << 1;
        QTest::newRow("even, seven bits, two stops") << "4800,E,7,2" << 4800 << 'E' << 7 << 2;
        QTest::newRow("odd") << "115200,O,8,1" << 115200 << 'O' << 8 << 1;
        QTest::newRow("mark") << "300,M,7,1" << 300 << 'M' << 7 << 1;
        QTest::newRow("space") << "1200,S,8,2" << 1200 << 'S' << 8 << 2;
        QTest::newRow("highest speed") << "4000000,N,8,1" << 4000000 << 'N' << 8 << 1;
    }
    void readsTheFields()
    {
        QFETCH(QString, settings);
        QFETCH(int, baud);
        QFETCH(char, parity);
        QFETCH(int, dataBits);
        QFETCH(int, stopBits);
        const LineSettings line = parseLineSettings(settings.toStdString());
        QCOMPARE(line.baud, baud);
        QCOMPARE(line.parity, parity);
        QCOMPARE(line.dataBits, dataBits);
        QCOMPARE(line.stopBits, stopBits);
    }

    void refusesAndSaysWhy_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("reason");
        const QString shape = "write speed, parity, data bits and stop bits";
        const QString speed = "the speed must be";
        QTest::newRow("empty") << "" << shape;
        QTest::newRow("three fields") << "19200,N,8" << shape;
        QTest::newRow("five fields") << "19200,N,8,1,1" << shape;
        QTest::newRow("trailing comma") << "19200,N,8,1," << shape;
        QTest::newRow("no speed") << ",N,8,1" << speed;
        QTest::newRow("zero speed") << "0,N,8,1" << speed;
        QTest::newRow("negative speed") << "-9600,N,8,1" << speed;
        QTest::newRow("signed speed") << "+9600,N,8,1" << speed;
        QTest::newRow("leading zero") << "09600,N,8,1" << speed;
        QTest::newRow("blank after speed") << "19200 ,N,8,1" << speed;
        QTest::newRow("speed too high") << "4000001,N,8,1" << speed;
        QTest::newRow("speed beyond int") << "99999999999,N,8,1" << speed;
        QTest::newRow("lower-case parity") << "19200,n,8,1"
                                           << "the parity must be N, E, O, M or S";
        QTest::newRow("two-letter parity") << "19200,NN,8,1"
                                           << "the parity must be N, E, O, M or S";
        QTest::newRow("unknown parity") << "19200,X,8,1"
                                        << "the parity must be N, E, O, M or S";
        QTest::newRow("nine data bits") << "19200,N,9,1"
                                        << "the data bits must be 7 or 8";
        QTest::newRow("data bits with zero") << "19200,N,08,1"
                                             << "the data bits must be 7 or 8";
        QTest::newRow("one and a half stops") << "19200,N,8,1.5"
                                              << "the stop bits must be 1 or 2";
        QTest::newRow("zero stops") << "19200,N,8,0"
                                    << "the stop bits must be 1 or 2";
    }
    void refusesAndSaysWhy()
    {
        QFETCH(QString, settings);
        QFETCH(QString, reason);
        try {
            parseLineSettings(settings.toStdString());
            QFAIL("accepted");
        } catch (const SerialError &error) {
            QCOMPARE(error.number(), SerialError::BadSettings);
            const std::string text = error.description();
            QVERIFY2(text.starts_with("\"" + settings.toStdString() + "\" is not a valid line setting: "),
                     text.c_str());
            QVERIFY2(text.find(reason.toStdString()) != std::string::npos, text.c_str());
        }
    }
};

QTEST_GUILESS_MAIN(TestLineSettings)
#include "tst_linesettings.moc"
