#include "qt/window/qtmessagebox.h"

#include "link/serialerror.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>

namespace {
// Of the screen's width, what one unbroken run of text (a device name) may take in the box.
constexpr double LongestWordShareOfScreen = 0.5;

void show(QWidget *parent, QMessageBox::Icon icon, const QString &text)
{
    QMessageBox box(icon, QCoreApplication::applicationName(), text, QMessageBox::Ok, parent);
    const QScreen *screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen)
        box.setText(fitToWidth(text, box.fontMetrics(),
                               int(screen->availableGeometry().width() * LongestWordShareOfScreen)));
    box.exec();
}
} // namespace

QString fitToWidth(const QString &text, const QFontMetrics &metrics, int width)
{
    // The box wraps at spaces; a run without one would widen it past the screen, so it is shortened in
    // the middle, where a long path keeps its start and its device name.
    static const QRegularExpression run(QStringLiteral("\\S+"));
    QString fitted;
    qsizetype done = 0;
    for (const QRegularExpressionMatch &word : run.globalMatch(text)) {
        fitted += text.mid(done, word.capturedStart() - done);
        fitted += metrics.horizontalAdvance(word.captured()) > width
                      ? metrics.elidedText(word.captured(), Qt::ElideMiddle, width)
                      : word.captured();
        done = word.capturedEnd();
    }
    return fitted + text.mid(done);
}

void QtMessageBox::warning(const std::string &text)
{
    show(m_parent, QMessageBox::Warning, QString::fromStdString(text));
}

void QtMessageBox::error(int number, const std::string &description)
{
    show(m_parent, QMessageBox::Critical,
         QString::fromStdString(description + "\n\n" + errorNumberText(number)));
}
