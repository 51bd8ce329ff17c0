#include "qt/window/captionbutton.h"
#include "qt/window/consolewindow.h"
#include "window/controltable.h"

#include <map>
#include <set>

#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QLabel>
#include <QRawFont>
#include <QTest>
#include <QTextLayout>

namespace {
constexpr QRgb ButtonBorder = 0x404040;

// The families the glyphs of a text are drawn from in a font, fallbacks included.
std::set<QString> drawnFamilies(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    std::set<QString> families;
    for (const QGlyphRun &run : layout.glyphRuns())
        families.insert(run.rawFont().familyName());
    return families;
}
} // namespace

// How the window is drawn: which control lies above which, and the fonts its captions come from.
class TestWindowDrawing : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_window = std::make_unique<ConsoleWindow>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup() { m_window.reset(); }

    void labelsLieBeneathEveryOverlappingControl()
    {
        int overlaps = 0;
        for (const ControlSpec &spec : controlTable()) {
            if (spec.kind != ControlKind::Label)
                continue;
            QWidget *label = m_window->control(spec.name);
            const QObjectList siblings = label->parentWidget()->children();
            for (QObject *object : siblings) {
                auto *sibling = qobject_cast<QWidget *>(object);
                if (!sibling || qobject_cast<QLabel *>(sibling) ||
                    !sibling->geometry().intersects(label->geometry()))
                    continue;
                ++overlaps;
                QVERIFY2(siblings.indexOf(label) < siblings.indexOf(sibling),
                         qPrintable(label->objectName() + " lies above " + sibling->objectName()));
            }
        }
        // The four titles over their buttons, at least; without them the check above proves nothing.
        QVERIFY(overlaps >= 8);
    }

    void buttonTopBorderIsWholeUnderTheTitle_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("SOUND MUTE") << "Frame3"
                                    << "Label4" << QStringList{"Command19", "Command20"};
        QTest::newRow("NO SHOW") << "Frame4"
                                 << "Label5" << QStringList{"Command21", "Command22"};
        QTest::newRow("FREEZE") << "Frame7"
                                << "Label8" << QStringList{"Command25", "Command26"};
        QTest::newRow("MENU") << "Frame6"
                              << "Label7" << QStringList{"Command23", "Command24"};
        QTest::newRow("AV Size") << "Frame5"
                                 << "Label6" << QStringList{"Command31", "Command32"};
    }

    void buttonTopBorderIsWholeUnderTheTitle()
    {
        QFETCH(QString, frame);
        QFETCH(QString, title);
        QFETCH(QStringList, buttons);
        const QImage drawn = m_window->control(frame.toStdString())->grab().toImage();
        const QRect label = m_window->control(title.toStdString())->geometry();
        for (const QString &name : buttons) {
            const QRect button = m_window->control(name.toStdString())->geometry();
            const QRect shared = label.intersected(button);
            QVERIFY2(!shared.isEmpty(), qPrintable(title + " does not reach " + name));
            // The corners are the frame style's; the run between them is the border.
            for (int x = std::max(shared.left(), button.left() + 1);
                 x <= std::min(shared.right(), button.right() - 1); ++x)
                QCOMPARE(QColor(drawn.pixel(x, button.top())).rgb() & 0xFFFFFF, ButtonBorder);
        }
    }

    void captionsOfOneFaceComeFromOneFamily()
    {
        std::map<FontFace, std::set<QString>> families;
        for (const ControlSpec &spec : controlTable()) {
            QWidget *widget = m_window->control(spec.name);
            families[spec.font.face].insert(QFontInfo(widget->font()).family());
        }
        for (const auto &[face, names] : families)
            QVERIFY2(names.size() == 1, qPrintable(QStringList(names.begin(), names.end()).join(", ")));
    }

    void proportionalCaptionsAreDrawnInIpaPGothic_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("ON") << "Command17";
        QTest::newRow("OFF") << "Command18";
        QTest::newRow("PC1") << "Command27";
        QTest::newRow("Video") << "Command29";
        QTest::newRow("Wide") << "Command32";
        QTest::newRow("data toggle") << "Command34";
    }

    void proportionalCaptionsAreDrawnInIpaPGothic()
    {
        if (!QFontDatabase::families().contains(QStringLiteral("IPAPGothic")))
            QSKIP("IPAPGothic is not installed (fonts-ipafont-gothic)");
        QFETCH(QString, button);
        const auto *widget = static_cast<CaptionButton *>(m_window->control(button.toStdString()));
        QCOMPARE(QFontInfo(widget->font()).family(), QStringLiteral("IPAPGothic"));
        QCOMPARE(drawnFamilies(QString::fromStdString(widget->caption()), widget->font()),
                 std::set<QString>{QStringLiteral("IPAPGothic")});
    }

private:
    std::unique_ptr<ConsoleWindow> m_window;
};

QTEST_MAIN(TestWindowDrawing)
#include "tst_windowdrawing.moc"
