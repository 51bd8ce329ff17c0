#include "qt/window/qtmessagebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

// A message box stays within the screen whatever device name it carries.
class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void shortensOnlyWhatIsTooWide_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("changed");
        QTest::newRow("short") << "COM1 (/dev/ttyUSB0): no such device" << false;
        QTest::newRow("long words") << QString("COM1 (/tmp/%1): the name is too long").arg(QString(5000, 'a'))
                                    << true;
        QTest::newRow("lines kept")
            << QString("COM2 (/dev/%1/ttyUSB0): no such device\n\n(error 1)").arg(QString(400, 'b')) << true;
    }
    void shortensOnlyWhatIsTooWide()
    {
        QFETCH(QString, text);
        QFETCH(bool, changed);
        const QFontMetrics metrics(QApplication::font());
        const int width = 300;
        const QString fitted = fitToWidth(text, metrics, width);
        QCOMPARE(fitted != text, changed);
        QCOMPARE(fitted.count('\n'), text.count('\n'));
        for (const QString &word : fitted.split(QRegularExpression("\\s+")))
            QVERIFY2(metrics.horizontalAdvance(word) <= width, qPrintable(word));
        if (changed) {
            QVERIFY(fitted.startsWith(text.left(8)));
            QVERIFY(fitted.endsWith(text.right(8)));
        }
    }

    void aBoxIsNeverWiderThanTheScreen()
    {
        int boxWidth = 0;
        QTimer::singleShot(0, [&] {
            QWidget *box = QApplication::activeModalWidget();
            QVERIFY(box);
            boxWidth = box->width();
            box->close();
        });
        QtMessageBox(nullptr).error(3, "COM1 (/tmp/" + std::string(5000, 'a') + "): the name is too long");
        QVERIFY(boxWidth > 0);
        // Qt stops a box at the screen's edge and cuts the text there: a fitted box stays inside.
        QVERIFY(boxWidth < QGuiApplication::primaryScreen()->availableGeometry().width());
    }
};

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
