#include "window/controltable.h"
#include "wire/holdtable.h"
#include "wire/oneshottable.h"

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <string>

#include <QTest>

namespace {
// END, COM, the data-panel toggle, SEND and CLS have handlers of their own.
const std::set<std::string_view> OtherButtons{"Command16", "Command33", "Command34", "Command95",
                                              "Command96"};

const std::regex HexCode("C[0-9A-F]{2}");
const std::regex QueryCode("CR.");
const std::regex FunctionCode("CF (KEYDIS|LOGO|FANSPEED) [A-Z]+");

bool isHexCode(std::string_view code)
{
    return std::regex_match(code.begin(), code.end(), HexCode);
}

bool hasCodeShape(std::string_view code)
{
    return isHexCode(code) || std::regex_match(code.begin(), code.end(), QueryCode) ||
           std::regex_match(code.begin(), code.end(), FunctionCode);
}

std::string_view codeOf(std::string_view control)
{
    if (const OneShotButton *button = findOneShotButton(control))
        return button->code;
    if (const HoldButton *button = findHoldButton(control))
        return button->code;
    return {};
}
} // namespace

Q_DECLARE_METATYPE(ButtonKind)

// The one-shot and hold button tables, against each other and against the window's controls.
class TestButtonTables : public QObject
{
    Q_OBJECT

private slots:
    void kindCounts_data()
    {
        QTest::addColumn<ButtonKind>("kind");
        QTest::addColumn<int>("count");
        QTest::newRow("plain") << ButtonKind::Plain << 32;
        QTest::newRow("long wait") << ButtonKind::LongWait << 9;
        QTest::newRow("longest wait") << ButtonKind::LongestWait << 9;
        QTest::newRow("cursor setup") << ButtonKind::CursorSetup << 2;
    }

    void kindCounts()
    {
        QFETCH(ButtonKind, kind);
        QFETCH(int, count);
        QCOMPARE(std::count_if(oneShotButtons().begin(), oneShotButtons().end(),
                               [kind](const OneShotButton &button) { return button.kind == kind; }),
                 count);
        QCOMPARE(oneShotButtons().size(), std::size_t(52));
        QCOMPARE(holdButtons().size(), std::size_t(13));
    }

    // Every button of the window has exactly one handler, and every code goes to one button only.
    void buttonsAndCodesBelongOnce()
    {
        std::map<std::string_view, int> handlers;
        std::set<std::string_view> codes;
        for (const OneShotButton &button : oneShotButtons()) {
            ++handlers[button.control];
            QVERIFY2(codes.insert(button.code).second, button.code.data());
        }
        for (const HoldButton &button : holdButtons()) {
            ++handlers[button.control];
            QVERIFY2(codes.insert(button.code).second, button.code.data());
        }
        for (std::string_view other : OtherButtons)
            ++handlers[other];
        for (const auto &[control, count] : handlers) {
            const ControlSpec *button = findControl(control);
            QVERIFY2(button && button->kind == ControlKind::Button, control.data());
            QVERIFY2(count == 1, control.data());
        }
        for (const ControlSpec &control : controlTable()) {
            if (control.kind == ControlKind::Button)
                QVERIFY2(handlers.count(control.name), control.name.data());
        }
    }

    void codeShapes()
    {
        for (const OneShotButton &button : oneShotButtons())
            QVERIFY2(hasCodeShape(button.code), button.code.data());
        for (const HoldButton &button : holdButtons())
            QVERIFY2(isHexCode(button.code), button.code.data());
        QVERIFY(!hasCodeShape("c1c"));
        QVERIFY(!hasCodeShape("C1G"));
        QVERIFY(!hasCodeShape("CF LOGO"));
    }

    void sharedCaptionsSendDifferentCodes_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("firstCode");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("secondCode");
        QTest::newRow("RGB of PC1 and PC2") << "Command64"
                                            << "C50"
                                            << "Command72"
                                            << "C25";
        QTest::newRow("Video: input mode and source") << "Command29"
                                                      << "C07"
                                                      << "Command82"
                                                      << "C33";
        QTest::newRow("OFF: logo and power") << "Command61"
                                             << "CF LOGO OFF"
                                             << "Command18"
                                             << "C01";
        QTest::newRow("+: VOL and D.Zoom") << "Command1"
                                           << "C09"
                                           << "Command48"
                                           << "C30";
    }

    void sharedCaptionsSendDifferentCodes()
    {
        QFETCH(QString, first);
        QFETCH(QString, firstCode);
        QFETCH(QString, second);
        QFETCH(QString, secondCode);
        QCOMPARE(findControl(first.toStdString())->caption, findControl(second.toStdString())->caption);
        QCOMPARE(QString::fromStdString(std::string(codeOf(first.toStdString()))), firstCode);
        QCOMPARE(QString::fromStdString(std::string(codeOf(second.toStdString()))), secondCode);
    }

    void holdButtonRows_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("repeatCode");
        QTest::addColumn<bool>("arrow");
        QTest::addColumn<bool>("dZoom");
        QTest::newRow("VOL +") << "Command1" << 1 << false << false;
        QTest::newRow("up") << "Command5" << 3 << true << false;
        QTest::newRow("down") << "Command7" << 4 << true << false;
        QTest::newRow("left") << "Command9" << 5 << true << false;
        QTest::newRow("right") << "Command8" << 6 << true << false;
        QTest::newRow("SELECT") << "Command6" << 13 << false << false;
        QTest::newRow("D.Zoom +") << "Command48" << 17 << false << true;
        QTest::newRow("D.Zoom -") << "Command49" << 18 << false << true;
        QTest::newRow("Keystone -") << "Command51" << 20 << false << false;
    }

    void holdButtonRows()
    {
        QFETCH(QString, control);
        QFETCH(int, repeatCode);
        QFETCH(bool, arrow);
        QFETCH(bool, dZoom);
        const HoldButton *button = findHoldButton(control.toStdString());
        QVERIFY(button);
        QCOMPARE(findHoldButton(std::uint8_t(repeatCode)), button);
        QCOMPARE(button->arrow, arrow);
        QCOMPARE(button->setsFastArrowPace, dZoom);
        QCOMPARE(findOneShotButton(control.toStdString()), nullptr);
    }

    // A reply is due before the labels clear, and the labels clear before the next repeat.
    void pressPeriodsNest()
    {
        int arrows = 0;
        int dZoom = 0;
        for (const HoldButton &button : holdButtons()) {
            arrows += button.arrow;
            dZoom += button.setsFastArrowPace;
            if (button.arrow)
                continue;
            QVERIFY2(button.replyInterval.count() > 0, button.control.data());
            QVERIFY2(button.replyInterval <= button.clearInterval, button.control.data());
            QVERIFY2(button.clearInterval <= button.repeatInterval, button.control.data());
        }
        QCOMPARE(arrows, 4);
        QCOMPARE(dZoom, 2);
    }

    void unusedRepeatCodesFindNothing_data()
    {
        QTest::addColumn<int>("repeatCode");
        QTest::newRow("idle") << 0;
        QTest::newRow("gap after the arrows") << 9;
        QTest::newRow("past the table") << 21;
    }

    void unusedRepeatCodesFindNothing()
    {
        QFETCH(int, repeatCode);
        QCOMPARE(findHoldButton(std::uint8_t(repeatCode)), nullptr);
    }
};

QTEST_GUILESS_MAIN(TestButtonTables)
#include "tst_buttontables.moc"
