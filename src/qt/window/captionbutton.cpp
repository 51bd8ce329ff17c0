#include "qt/window/captionbutton.h"

#include <QEvent>
#include <QFontMetrics>
#include <QStringList>

namespace {
// Room kept clear between the caption and each side of the button.
constexpr int SideMargin = 3;
} // namespace

void CaptionButton::setCaption(const std::string &caption)
{
    m_caption = caption;
    // A screen reader reads the caption as one, whatever lines it is shown on.
    setAccessibleName(QString::fromStdString(caption));
    showCaption();
}

void CaptionButton::resizeEvent(QResizeEvent *event)
{
    QPushButton::resizeEvent(event);
    showCaption();
}

void CaptionButton::changeEvent(QEvent *event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        showCaption();
}

void CaptionButton::showCaption()
{
    // Shown again only when the caption, the width or the font changed: showing the window resizes every
    // button to the size it already has.
    if (m_shownFor && m_shownFor->caption == m_caption && m_shownFor->width == width() &&
        m_shownFor->font == font())
        return;
    m_shownFor = ShownFor{m_caption, width(), font()};
    const QString whole = QString::fromStdString(m_caption);
    const QFontMetrics metrics(font());
    const int room = width() - 2 * SideMargin;
    if (metrics.horizontalAdvance(whole) <= room) {
        setText(whole);
        return;
    }
    const bool byWords = whole.contains(QLatin1Char(' '));
    QStringList pieces;
    if (byWords)
        pieces = whole.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    else
        for (const QChar c : whole)
            pieces << QString(c);
    const QString joiner = byWords ? QStringLiteral(" ") : QString();
    QStringList lines;
    QString line;
    for (const QString &piece : pieces) {
        const QString longer = line.isEmpty() ? piece : line + joiner + piece;
        if (!line.isEmpty() && metrics.horizontalAdvance(longer) > room) {
            lines << line;
            line = piece;
        } else {
            line = longer;
        }
    }
    lines << line;
    setText(lines.join(QLatin1Char('\n')));
}
