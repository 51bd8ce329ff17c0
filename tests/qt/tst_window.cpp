#include "fakeserialport.h"
#include "link/bytelink.h"
#include "ptyline.h"
#include "qt/window/qtmessagebox.h"
#include "settle.h"
#include "window/controltable.h"
#include "windowconsole.h"
#include "wire/oneshottable.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace std::chrono_literals;

namespace {
// The lines the window is made over; each comes first so that the window's start-up finds it.
struct FakeLine
{
    FakeSerialPort port;
};
struct FakeLineWithRealMessages : FakeLine
{
    QtMessageBox box{nullptr};
};

// The real window offscreen on a fake port that records the line; start-up's traffic is forgotten.
struct OffscreenConsole : FakeLine, WindowConsole
{
    OffscreenConsole() : WindowConsole(port) { port.log.clear(); }
};

// The real window offscreen on a real pseudo-terminal: the test holds the far end of COM1.
struct PtyConsole : PtyLine, WindowConsole
{
    PtyConsole() : WindowConsole(serial) {}
};

// The real window with the real, modal message box, which the test answers as soon as it opens.
struct ModalConsole : FakeLineWithRealMessages, WindowConsole
{
    ModalConsole() : WindowConsole(port, &box)
    {
        QObject::connect(&answerer, &QTimer::timeout, [this] {
            if (QWidget *open = QApplication::activeModalWidget()) {
                ++boxes;
                open->close();
            }
        });
        answerer.start(10ms);
    }

    QTimer answerer;
    int boxes = 0;
};

// Counts the J keys a widget itself receives.
class KeyCounter : public QObject
{
public:
    int keys = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        keys += event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_J;
        return false;
    }
};
} // namespace

// The real window driven as an operator drives it, by objectName.
class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void everyOneShotButtonClickedAtItsPlaceSendsItsCodeOnTheLine()
    {
        PtyConsole console;
        console.window.setWindowHeight(9100);
        for (const OneShotButton &button : oneShotButtons()) {
            QWidget *designed = console.find(button.control.data());
            const QPoint place = designed->mapTo(&console.window, designed->rect().center());
            QWidget *hit = console.window.childAt(place);
            QCOMPARE(hit ? hit->objectName() : QString(), designed->objectName());
            QTest::mouseClick(hit, Qt::LeftButton);
            const std::string expected = std::string(button.code) + '\r';
            QCOMPARE(console.pty.read(expected.size()), expected);
        }
    }

    void aClickShowsTheTraceAndTheReplyDecodes()
    {
        OffscreenConsole console;
        QTest::mouseClick(console.find<QPushButton>("Command44"), Qt::LeftButton);
        QCOMPARE(console.find<QLabel>("Label11")->text(), QString(" C R 0 CR "));
        console.port.deliver("80\r");
        QCOMPARE(console.find<QLabel>("Label12")->text(), QString(" 8 0 CR "));
        QCOMPARE(console.find<QLabel>("Label22")->text(), QString(" Stand by"));
    }

    void aLongTraceIsShownFromItsStartAndKeptWhole()
    {
        OffscreenConsole console;
        QTest::mouseClick(console.find<QPushButton>("Command44"), Qt::LeftButton);
        console.port.deliver(std::string(20000, '8'));
        QCOMPARE(console.window.caption("Label12").size(), std::size_t(40001));
        const QString shown = console.find<QLabel>("Label12")->text();
        QVERIFY(shown.size() < 1000);
        QVERIFY(shown.startsWith(" 8 8 8"));
    }

    void anyMouseButtonHoldsAndTheReleaseEndsItAnywhere_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("left") << Qt::LeftButton;
        QTest::newRow("right") << Qt::RightButton;
        QTest::newRow("middle") << Qt::MiddleButton;
    }
    void anyMouseButtonHoldsAndTheReleaseEndsItAnywhere()
    {
        QFETCH(Qt::MouseButton, button);
        OffscreenConsole console;
        auto *plus = console.find<QPushButton>("Command1");
        QTest::mousePress(plus, button);
        QCOMPARE(console.port.writes, std::vector<std::string>{"C09\r"});
        QCOMPARE(console.form.fields().RepeatCode, 1);
        QTest::mouseRelease(plus, button, {}, QPoint(-40, -40));
        QCOMPARE(console.form.fields().RepeatCode, 0);
        QVERIFY(!console.timer1.enabled());
    }

    void aMessageBoxEndsTheHoldItInterrupts_data()
    {
        QTest::addColumn<bool>("failAtThePress");
        QTest::newRow("at the press") << true;
        QTest::newRow("at a repeat") << false;
    }
    void aMessageBoxEndsTheHoldItInterrupts()
    {
        QFETCH(bool, failAtThePress);
        ModalConsole console;
        auto *plus = console.find<QPushButton>("Command1");
        if (failAtThePress)
            console.port.setPortOpen(false);
        QTest::mousePress(plus, Qt::LeftButton);
        if (!failAtThePress) {
            QCOMPARE(console.port.writes, std::vector<std::string>{"C09\r"});
            console.port.setPortOpen(false);
        }
        QTRY_COMPARE(console.boxes, 1);
        // The release the box took has run: the hold is over and the periods are restored.
        QCOMPARE(console.form.fields().RepeatCode, std::uint8_t(0));
        QVERIFY(!console.timer1.enabled());
        QCOMPARE(console.timer2.interval(), 500ms);
        QCOMPARE(console.timer4.interval(), 1000ms);
        QTest::mouseRelease(plus, Qt::LeftButton);
        console.port.setPortOpen(true);
        console.port.writes.clear();
        QTest::mousePress(plus, Qt::LeftButton);
        QCOMPARE(console.port.writes, std::vector<std::string>{"C09\r"});
        QTest::mouseRelease(plus, Qt::LeftButton);
        QCOMPARE(console.boxes, 1);
    }

    void theKeyboardNeverPressesAHoldButton_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("space") << int(Qt::Key_Space);
        QTest::newRow("enter") << int(Qt::Key_Return);
    }
    void theKeyboardNeverPressesAHoldButton()
    {
        QFETCH(int, key);
        OffscreenConsole console;
        auto *select = console.find<QPushButton>("Command6");
        select->setFocus();
        QTest::keyClick(select, Qt::Key(key));
        QVERIFY(console.port.writes.empty());
        QCOMPARE(console.form.fields().RepeatCode, 0);
    }

    void theChordWorksWhileTheTextBoxHasTheKey()
    {
        OffscreenConsole console;
        auto *text = console.find<QLineEdit>("Text1");
        KeyCounter counter;
        text->installEventFilter(&counter);
        text->setFocus();
        QTest::keyClick(text, Qt::Key_J, Qt::ControlModifier);
        QCOMPARE(console.window.windowHeight(), 7200.0);
        QCOMPARE(counter.keys, 1);
        QTest::keyClick(text, Qt::Key_J, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(console.form.fields().ServiceMode, 1);
        QTest::mouseDClick(console.find("Image1"), Qt::LeftButton);
        QCOMPARE(console.window.windowHeight(), 9100.0);
        QCOMPARE(console.window.height(), (9100 - 370) / 15);
    }

    void screenReadersReadTheCaptions_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::newRow("button") << "Command44"
                                << "STATUS";
        QTest::newRow("hold button") << "Command6"
                                     << "SELECT";
        QTest::newRow("title label") << "Label1"
                                     << "POWER";
        QTest::newRow("option") << "Option9"
                                << "19200";
    }
    void screenReadersReadTheCaptions()
    {
        QFETCH(QString, control);
        QFETCH(QString, name);
        OffscreenConsole console;
        QAccessibleInterface *accessible =
            QAccessible::queryAccessibleInterface(console.find(control.toLatin1()));
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), name);
    }

    void captionsWiderThanTheButtonWrapButReadWhole_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("lines");
        QTest::newRow("fits") << "Command44"
                              << "STATUS" << 1;
        QTest::newRow("between words") << "Command3"
                                       << "DISPLAY CLEAR" << 2;
        QTest::newRow("between characters") << "Command34"
                                            << "データを表示しない" << 2;
    }
    void captionsWiderThanTheButtonWrapButReadWhole()
    {
        QFETCH(QString, control);
        QFETCH(QString, caption);
        QFETCH(int, lines);
        OffscreenConsole console;
        const std::string name = control.toStdString();
        console.window.setCaption(name, caption.toStdString());
        const QString shown = console.find<QPushButton>(name.c_str())->text();
        QCOMPARE(shown.count(QLatin1Char('\n')) + 1, lines);
        QCOMPARE(QString::fromStdString(console.window.caption(name)), caption);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(console.find(name.c_str()));
        QCOMPARE(accessible->text(QAccessible::Name), caption);
    }

    void screenReadersReadTheTraces()
    {
        OffscreenConsole console;
        QTest::mouseClick(console.find<QPushButton>("Command17"), Qt::LeftButton);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(console.find("Label11"));
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), QString(" C 0 0 CR "));
    }

    void theFreeFormLineSendsItsTextAsBytes()
    {
        OffscreenConsole console;
        console.find<QLineEdit>("Text1")->setText(QString::fromUtf8("cr0 é→"));
        QTest::mouseClick(console.find<QPushButton>("Command95"), Qt::LeftButton);
        QCOMPARE(console.port.written, std::string("cr0 \xE9?\r"));
    }

    void theFreeFormLineTakesWhatTheLineCanQueue_data()
    {
        QTest::addColumn<int>("typed");
        QTest::addColumn<int>("sent");
        const int queue = int(ByteLink::WriteQueueLimit);
        QTest::newRow("beyond Qt's own default") << 40000 << 40000;
        QTest::newRow("the queue with its CR") << queue - 1 << queue - 1;
        QTest::newRow("more than the queue") << queue + 5000 << queue - 1;
    }
    void theFreeFormLineTakesWhatTheLineCanQueue()
    {
        QFETCH(int, typed);
        QFETCH(int, sent);
        OffscreenConsole console;
        console.find<QLineEdit>("Text1")->setText(QString(typed, QLatin1Char('A')));
        QTest::mouseClick(console.find<QPushButton>("Command95"), Qt::LeftButton);
        QCOMPARE(console.port.written, std::string(std::size_t(sent), 'A') + '\r');
    }

    void thePortAndTheSpeedAreSeparateChoices_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QStringList>("selected");
        QTest::newRow("start") << QStringList{} << QStringList{"Option1", "Option9"};
        QTest::newRow("COM2") << QStringList{"Option2"} << QStringList{"Option2", "Option9"};
        QTest::newRow("COM2, COM1") << QStringList{"Option2", "Option1"} << QStringList{"Option1", "Option9"};
        QTest::newRow("9600") << QStringList{"Option10"} << QStringList{"Option1", "Option10"};
        QTest::newRow("COM2, 9600, COM1, COM2")
            << QStringList{"Option2", "Option10", "Option1", "Option2"} << QStringList{"Option2", "Option10"};
    }
    void thePortAndTheSpeedAreSeparateChoices()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QStringList, selected);
        OffscreenConsole console;
        for (const QString &option : clicks) {
            QTest::mouseClick(console.find<QPushButton>("Command33"), Qt::LeftButton);
            QTest::mouseClick(console.find<QRadioButton>(option.toLatin1()), Qt::LeftButton);
        }
        QStringList checked;
        for (const char *option : {"Option1", "Option2", "Option9", "Option10"})
            if (console.find<QRadioButton>(option)->isChecked())
                checked << option;
        QCOMPARE(checked, selected);
    }

    // A control can be seen whole when its bottom edge lies within the client area of the height.
    void eachHeightShowsItsBands_data()
    {
        QTest::addColumn<double>("height");
        QTest::addColumn<QStringList>("whole");
        QTest::addColumn<QStringList>("cut");
        QTest::newRow("compact") << 5350.0
                                 << QStringList{"Frame1", "Frame5", "Command7", "Command16", "Command33"}
                                 << QStringList{"Frame9", "Command44"};
        QTest::newRow("data panel") << 6645.0 << QStringList{"Frame9", "Command44", "Command47", "Command34"}
                                    << QStringList{"Frame14", "Frame16"};
        QTest::newRow("service area")
            << 7200.0 << QStringList{"Frame9", "Command54"} << QStringList{"Frame14", "Frame16", "Command64"};
        QTest::newRow("full") << 9100.0 << QStringList{"Frame14", "Frame16", "Frame11", "Frame15", "Text1"}
                              << QStringList{};
    }
    void eachHeightShowsItsBands()
    {
        QFETCH(double, height);
        QFETCH(QStringList, whole);
        QFETCH(QStringList, cut);
        OffscreenConsole console;
        console.window.setWindowHeight(height);
        auto bottom = [&](const QString &name) {
            QWidget *widget = console.find(name.toLatin1());
            return widget->mapTo(&console.window, QPoint(0, widget->height())).y();
        };
        for (const QString &name : whole)
            QVERIFY2(bottom(name) <= console.window.height(), qPrintable(name));
        for (const QString &name : cut)
            QVERIFY2(bottom(name) > console.window.height(), qPrintable(name));
    }

    void aLostLineIsToldOnceAndTheConsoleGoesOn()
    {
        PtyConsole console;
        QTest::mouseClick(console.find<QPushButton>("Command44"), Qt::LeftButton);
        QCOMPARE(console.pty.read(4), std::string("CR0\r"));
        console.pty.write("80\r");
        QTRY_COMPARE(console.window.caption("Label22"), std::string(" Stand by"));
        console.pty.closeMaster();
        QTRY_VERIFY(!console.serial.PortOpen());
        settle();
        QCOMPARE(console.messages.errors.size(), std::size_t(1));
        QTest::mouseClick(console.find<QPushButton>("Command17"), Qt::LeftButton);
        QCOMPARE(console.messages.errors.size(), std::size_t(2));
        QVERIFY(console.messages.errors.back().find("port is not open") != std::string::npos);
    }

    void everyControlStandsWhereItWasDesigned()
    {
        OffscreenConsole console;
        for (const ControlSpec &spec : controlTable()) {
            QWidget *widget = console.find(spec.name.data());
            QCOMPARE(widget->geometry(),
                     QRect(twipsToPixels(spec.geometry.left), twipsToPixels(spec.geometry.top),
                           twipsToPixels(spec.geometry.width), twipsToPixels(spec.geometry.height)));
            const QString expectedParent =
                spec.container.empty() ? QString("Form1") : QString(spec.container.data());
            QCOMPARE(widget->parentWidget()->objectName(), expectedParent);
        }
        QVERIFY(console.find("Frame8")->isHidden());
        QVERIFY(console.find("Command34")->isHidden());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
