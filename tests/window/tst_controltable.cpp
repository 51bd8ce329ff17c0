#include "window/controltable.h"
#include "window/windowheights.h"

#include <algorithm>
#include <limits>
#include <set>
#include <string>

#include <QTest>

namespace {
// Neighbours in the tight grids share one pixel's edge.
constexpr int SharedEdgeTwips = 15;

TwipsRect onWindow(const ControlSpec &control)
{
    TwipsRect rect = control.geometry;
    for (const ControlSpec *in = findControl(control.container); in; in = findControl(in->container)) {
        rect.left += in->geometry.left;
        rect.top += in->geometry.top;
    }
    return rect;
}

bool isInside(const ControlSpec &control, std::string_view frame)
{
    for (std::string_view in = control.container; !in.empty(); in = findControl(in)->container) {
        if (in == frame)
            return true;
    }
    return false;
}

bool coversCom(const ControlSpec &upper, const ControlSpec &lower)
{
    return lower.name == "Command33" && (upper.name == "Frame8" || isInside(upper, "Frame8"));
}

int overlap(int start1, int length1, int start2, int length2)
{
    return std::min(start1 + length1, start2 + length2) - std::max(start1, start2);
}

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::set<std::string> names(const QString &list)
{
    std::set<std::string> result;
    for (const QString &name : list.split(' ', Qt::SkipEmptyParts))
        result.insert(name.toStdString());
    return result;
}
} // namespace

// The window's controls as designed: containment, placement, titles, start state and the outline.
class TestControlTable : public QObject
{
    Q_OBJECT

private slots:
    void windowIsAsDesigned()
    {
        const WindowSpec &window = windowSpec();
        QCOMPARE(qs(window.caption), QStringLiteral("TAVO   QT27S   CONTROL   Ver.1.40"));
        QCOMPARE(window.outerHeight, int(FullHeightTwips));
        QCOMPARE(window.outerHeight - window.clientHeight, int(FrameAllowanceTwips));
    }

    void namesAreUniqueAndFound()
    {
        std::set<std::string_view> seen;
        for (const ControlSpec &control : controlTable()) {
            QVERIFY2(seen.insert(control.name).second, control.name.data());
            QCOMPARE(findControl(control.name), &control);
        }
        for (const LineSpec &line : outlineLines())
            QVERIFY2(seen.insert(line.name).second, line.name.data());
        QCOMPARE(findControl("Command99"), nullptr);
    }

    void containersAreEarlierFrames()
    {
        std::set<std::string_view> frames;
        for (const ControlSpec &control : controlTable()) {
            QVERIFY2(control.container.empty() || frames.count(control.container), control.name.data());
            if (control.kind == ControlKind::Frame)
                frames.insert(control.name);
        }
    }

    void childrenLieInsideTheirFrame()
    {
        for (const ControlSpec &control : controlTable()) {
            const ControlSpec *frame = findControl(control.container);
            if (!frame)
                continue;
            const TwipsRect &at = control.geometry;
            QVERIFY2(at.left >= 0 && at.top >= 0 && at.left + at.width <= frame->geometry.width &&
                         at.top + at.height <= frame->geometry.height,
                     control.name.data());
        }
    }

    // Only the port-settings frame, with all it holds, lies over the "COM" button.
    void noControlsOverlap()
    {
        const auto controls = controlTable();
        for (std::size_t i = 0; i < controls.size(); ++i) {
            for (std::size_t j = i + 1; j < controls.size(); ++j) {
                const ControlSpec &a = controls[i];
                const ControlSpec &b = controls[j];
                if (isInside(a, b.name) || isInside(b, a.name))
                    continue;
                if (coversCom(a, b) || coversCom(b, a))
                    continue;
                const TwipsRect ra = onWindow(a);
                const TwipsRect rb = onWindow(b);
                const int across = overlap(ra.left, ra.width, rb.left, rb.width);
                const int down = overlap(ra.top, ra.height, rb.top, rb.height);
                QVERIFY2(std::min(across, down) <= SharedEdgeTwips,
                         (std::string(a.name) + " and " + std::string(b.name)).c_str());
            }
        }
        const TwipsRect com = onWindow(*findControl("Command33"));
        const TwipsRect ports = onWindow(*findControl("Frame8"));
        QVERIFY(ports.left <= com.left && ports.top <= com.top &&
                ports.left + ports.width >= com.left + com.width &&
                ports.top + ports.height >= com.top + com.height);
    }

    void groupExtents_data()
    {
        QTest::addColumn<QString>("members");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<double>("wholeFromOuterHeight");
        QTest::newRow("Image1") << "Image1" << 120 << 510 << CompactHeightTwips;
        QTest::newRow("first row of frames") << "Frame1 Frame2 Frame10" << 240 << 1215 << CompactHeightTwips;
        QTest::newRow("second row of frames")
            << "Frame3 Frame4 Frame7 Frame6 Frame5" << 1440 << 2295 << CompactHeightTwips;
        QTest::newRow("navigation cluster with its outline")
            << "Command5 Command9 Command6 Command8 Command7 outline" << 2400 << 3960 << CompactHeightTwips;
        QTest::newRow("adjustment columns") << "Label3 Command1 Command2 Label13 Command15 Command35 Label17 "
                                               "Command48 Command49 Label18 Command50 Command51"
                                            << 2520 << 3495 << CompactHeightTwips;
        QTest::newRow("right-hand column")
            << "Command13 Command30 Command14 Command3 Command16" << 2760 << 4695 << CompactHeightTwips;
        QTest::newRow("key-lock group")
            << "Label19 Command56 Command57 Command58" << 3720 << 4692 << CompactHeightTwips;
        QTest::newRow("port settings") << "Frame8" << 3600 << 4785 << CompactHeightTwips;
        QTest::newRow("COM button") << "Command33" << 4200 << 4575 << CompactHeightTwips;
        QTest::newRow("picture-mode block")
            << "Command4 Command10 Command11 Command39 Command40 Command41 Command42 Command12 Command36"
            << 4080 << 4815 << CompactHeightTwips;
        QTest::newRow("trace and status") << "Frame9" << 4920 << 6210 << DataPanelHeightTwips;
        QTest::newRow("data-panel toggle") << "Command34" << 5040 << 5415 << DataPanelHeightTwips;
        QTest::newRow("status queries")
            << "Command44 Command45 Command46 Command47 Command54" << 5640 << 6135 << DataPanelHeightTwips;
        QTest::newRow("input sources") << "Frame14" << 6735 << 7815 << FullHeightTwips;
        QTest::newRow("fan speed") << "Frame16" << 6750 << 7695 << FullHeightTwips;
        QTest::newRow("logo") << "Frame11" << 7680 << 8655 << FullHeightTwips;
        QTest::newRow("free-form command") << "Frame15" << 8040 << 8610 << FullHeightTwips;
    }

    // Each group is seen whole at the height that first shows it, and not at the height below.
    void groupExtents()
    {
        QFETCH(QString, members);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(double, wholeFromOuterHeight);
        int top = std::numeric_limits<int>::max();
        int bottom = std::numeric_limits<int>::min();
        for (const std::string &name : names(members)) {
            if (name == "outline") {
                for (const LineSpec &line : outlineLines()) {
                    top = std::min({top, line.y1, line.y2});
                    bottom = std::max({bottom, line.y1, line.y2});
                }
                continue;
            }
            const ControlSpec *control = findControl(name);
            QVERIFY2(control, name.c_str());
            const TwipsRect at = onWindow(*control);
            top = std::min(top, at.top);
            bottom = std::max(bottom, at.top + at.height);
        }
        QCOMPARE(top, from);
        QCOMPARE(bottom, to);

        const double heights[] = {CompactHeightTwips, DataPanelHeightTwips, ServiceHeightTwips,
                                  FullHeightTwips};
        const auto shown = std::find(std::begin(heights), std::end(heights), wholeFromOuterHeight);
        QVERIFY(bottom <= *shown - FrameAllowanceTwips);
        if (shown != std::begin(heights))
            QVERIFY(bottom > *(shown - 1) - FrameAllowanceTwips);
    }

    void frameTitles_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("caption");
        QTest::newRow("power") << "Frame1"
                               << "Label1"
                               << "POWER";
        QTest::newRow("input mode") << "Frame2"
                                    << "Label2"
                                    << "INPUT MODE SET";
        QTest::newRow("input signal") << "Frame10"
                                      << "Label14"
                                      << "INPUT SIGNAL";
        QTest::newRow("sound mute") << "Frame3"
                                    << "Label4"
                                    << "SOUND MUTE";
        QTest::newRow("no show") << "Frame4"
                                 << "Label5"
                                 << "NO SHOW";
        QTest::newRow("freeze") << "Frame7"
                                << "Label8"
                                << "FREEZE";
        QTest::newRow("menu") << "Frame6"
                              << "Label7"
                              << "MENU";
        QTest::newRow("AV size") << "Frame5"
                                 << "Label6"
                                 << "AV Size";
        QTest::newRow("fan speed") << "Frame16"
                                   << "Label27"
                                   << "FAN SPEED";
        QTest::newRow("logo") << "Frame11"
                              << "Label20"
                              << "LOGO";
    }

    void frameTitles()
    {
        QFETCH(QString, frame);
        QFETCH(QString, label);
        QFETCH(QString, caption);
        const ControlSpec *title = findControl(label.toStdString());
        QVERIFY(title);
        QCOMPARE(title->kind, ControlKind::Label);
        QCOMPARE(qs(title->container), frame);
        QCOMPARE(qs(title->caption), caption);
        QCOMPARE(findControl(frame.toStdString())->caption, std::string_view());
    }

    void startState()
    {
        std::set<std::string> hidden;
        std::set<std::string> selected;
        for (const ControlSpec &control : controlTable()) {
            if (!control.visibleAtStart)
                hidden.insert(std::string(control.name));
            if (control.selectedAtStart)
                selected.insert(std::string(control.name));
        }
        QCOMPARE(hidden, names("Frame8 Command34"));
        QCOMPARE(selected, names("Option9"));
    }

    // One closed path of horizontal and vertical strokes, each named once.
    void outlineIsClosed()
    {
        const auto lines = outlineLines();
        QCOMPARE(lines.size(), std::size_t(12));
        std::set<std::string_view> seen;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const LineSpec &line = lines[i];
            const LineSpec &next = lines[(i + 1) % lines.size()];
            QVERIFY2((line.x1 == line.x2) != (line.y1 == line.y2), line.name.data());
            QVERIFY2(line.x2 == next.x1 && line.y2 == next.y1, line.name.data());
            seen.insert(line.name);
        }
        for (int n = 1; n <= 12; ++n)
            QVERIFY(seen.count(("Line" + std::to_string(n)).c_str()));
    }
};

QTEST_GUILESS_MAIN(TestControlTable)
#include "tst_controltable.moc"
