#include "link/devicerights.h"

#include <QTest>

// The advice a refused device gets: the dialout group only where joining it would help.
class TestDeviceRights : public QObject
{
    Q_OBJECT

private slots:
    void advisesWhatWouldHelp_data()
    {
        QTest::addColumn<bool>("ownedByRoot");
        QTest::addColumn<bool>("groupMayOpen");
        QTest::addColumn<bool>("othersMayOpen");
        QTest::addColumn<QString>("group");
        QTest::addColumn<bool>("inGroup");
        QTest::addColumn<bool>("listedInGroup");
        QTest::addColumn<QString>("reason");
        QTest::newRow("adapter, not a member") << true << true << false << "dialout" << false << false
                                               << "no permission (join the dialout group)";
        QTest::newRow("adapter, member since this login")
            << true << true << false << "dialout" << false << true
            << "no permission (log in again: the dialout group counts from the next login)";
        QTest::newRow("dialout group may not open") << true << false << false << "dialout" << false << false
                                                    << "no permission (only root may open it)";
        QTest::newRow("only root") << true << false << false << "root" << false << false
                                   << "no permission (only root may open it)";
        QTest::newRow("others' pseudo-terminal") << false << false << false << "tty" << true << true
                                                 << "no permission (the device's group is tty)";
        QTest::newRow("member, owner shut it") << false << true << false << "dialout" << true << true
                                               << "no permission (the device's group is dialout)";
        QTest::newRow("group without a name") << true << true << false << "" << false << false
                                              << "no permission (the device's group is unnamed)";
    }
    void advisesWhatWouldHelp()
    {
        QFETCH(bool, ownedByRoot);
        QFETCH(bool, groupMayOpen);
        QFETCH(bool, othersMayOpen);
        QFETCH(QString, group);
        QFETCH(bool, inGroup);
        QFETCH(bool, listedInGroup);
        QFETCH(QString, reason);
        const DeviceRights rights{ownedByRoot,         groupMayOpen, othersMayOpen,
                                  group.toStdString(), inGroup,      listedInGroup};
        QCOMPARE(QString::fromStdString(noPermissionReason(rights)), reason);
    }
};

QTEST_GUILESS_MAIN(TestDeviceRights)
#include "tst_devicerights.moc"
