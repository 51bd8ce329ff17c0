#include "window/centring.h"

#include <QTest>

// Checks where start-up places the window on the screen.
class TestCentring : public QObject
{
    Q_OBJECT

private slots:
    void centresWindow_data();
    void centresWindow();
};

void TestCentring::centresWindow_data()
{
    QTest::addColumn<double>("screenWidth");
    QTest::addColumn<double>("screenHeight");
    QTest::addColumn<double>("windowWidth");
    QTest::addColumn<double>("windowHeight");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");

    QTest::newRow("design window on a large screen")
        << 15360.0 << 11520.0 << 9600.0 << 9100.0 << 2880.0 << 1210.0;
    QTest::newRow("screen smaller than window") << 8000.0 << 6000.0 << 9600.0 << 9100.0 << -800.0 << -1550.0;
    QTest::newRow("odd difference keeps the half") << 10001.0 << 9101.0 << 9600.0 << 9100.0 << 200.5 << 0.5;
}

void TestCentring::centresWindow()
{
    QFETCH(double, screenWidth);
    QFETCH(double, screenHeight);
    QFETCH(double, windowWidth);
    QFETCH(double, windowHeight);
    QFETCH(double, left);
    QFETCH(double, top);

    const TwipsPoint corner = centreWindow({screenWidth, screenHeight}, {windowWidth, windowHeight});

    QCOMPARE(corner.left, left);
    QCOMPARE(corner.top, top);
}

QTEST_GUILESS_MAIN(TestCentring)
#include "tst_centring.moc"
