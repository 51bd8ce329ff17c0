#include "simulator/projector.h"
#include "wire/holdtable.h"
#include "wire/oneshottable.h"

#include <QTest>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::string)

// The console's button codes against the simulated projector's own list, in that direction only: every
// code a button sends is one the projector understands, so a mistyped code in the console fails here.
// The projector knows queries that no button sends.
class TestCodeTables : public QObject
{
    Q_OBJECT

private slots:
    void everyButtonCodeIsUnderstood_data()
    {
        QTest::addColumn<std::string>("code");
        for (const OneShotButton &button : oneShotButtons())
            QTest::addRow("%s %s", button.control.data(), button.code.data()) << std::string(button.code);
        for (const HoldButton &button : holdButtons())
            QTest::addRow("%s %s held", button.control.data(), button.code.data())
                << std::string(button.code);
    }
    void everyButtonCodeIsUnderstood()
    {
        QFETCH(std::string, code);
        QVERIFY2(findProjectorCommand(code), "not in the projector's list");
        Projector projector;
        const std::string reply = projector.answer(code, 0ms);
        if (code.starts_with("CR"))
            QVERIFY2(reply != "?\r" && reply.front() != Projector::Ack, reply.c_str());
        else
            QCOMPARE(reply, (std::string{Projector::Ack, '\r'}));
    }
};

QTEST_GUILESS_MAIN(TestCodeTables)
#include "tst_codetables.moc"
