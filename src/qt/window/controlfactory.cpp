#include "qt/window/controlfactory.h"

#include "link/bytelink.h"
#include "qt/window/captionbutton.h"
#include "qt/window/captionlabel.h"
#include "qt/window/holdbutton.h"
#include "qt/window/picture.h"
#include "window/form1.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

#include <QFontDatabase>
#include <QFrame>
#include <QLineEdit>
#include <QRadioButton>

namespace {
constexpr int LinePixels = 2;
constexpr QRgb LineColour = 0x8080FF;
// The free-form text goes out with one CR after it, and no more than the line can queue. One character
// is one byte on the line (linebytes.h), so the box counts bytes.
constexpr int FreeFormTextLimit = int(ByteLink::WriteQueueLimit - sizeof '\r');

void paintBackground(QWidget *widget, std::optional<std::uint32_t> colour)
{
    if (!colour)
        return;
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(*colour));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// The first of the faces that is installed here, or none.
QString installedFamily(std::initializer_list<QStringView> candidates)
{
    static const QStringList installed = QFontDatabase::families();
    for (const QStringView candidate : candidates) {
        if (installed.contains(candidate))
            return candidate.toString();
    }
    return {};
}

QWidget *makeButton(const ControlSpec &spec, QWidget *parent)
{
    CaptionButton *button =
        Form1::isHoldButton(spec.name) ? new HoldButton(parent) : new CaptionButton(parent);
    button->setAutoDefault(false);
    // The graphical style that shows the back colour; without one the button keeps the system face.
    if (spec.backColour) {
        const QColor colour = QColor::fromRgb(*spec.backColour);
        button->setStyleSheet(
            QStringLiteral("QPushButton { background-color: %1; border: 1px solid #404040; }"
                           "QPushButton:pressed { background-color: %2; }")
                .arg(colour.name(), colour.darker(125).name()));
    }
    return button;
}

QWidget *makeLabel(const ControlSpec &spec, QWidget *parent)
{
    auto *label = new CaptionLabel(parent);
    label->setCaption(std::string(spec.caption));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    const Qt::Alignment horizontal = spec.alignment == Alignment::Centre  ? Qt::AlignHCenter
                                     : spec.alignment == Alignment::Right ? Qt::AlignRight
                                                                          : Qt::AlignLeft;
    label->setAlignment(horizontal | Qt::AlignTop);
    if (spec.border)
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
    paintBackground(label, spec.backColour);
    if (spec.textColour) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor::fromRgb(*spec.textColour));
        label->setPalette(palette);
    }
    return label;
}

QWidget *makeWidget(const ControlSpec &spec, QWidget *parent)
{
    const QString caption = toQString(spec.caption);
    switch (spec.kind) {
    case ControlKind::Frame: {
        auto *frame = new QFrame(parent);
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        paintBackground(frame, spec.backColour);
        return frame;
    }
    case ControlKind::Button:
        return makeButton(spec, parent);
    case ControlKind::Label:
        return makeLabel(spec, parent);
    case ControlKind::Option: {
        auto *option = new QRadioButton(caption, parent);
        option->setChecked(spec.selectedAtStart);
        paintBackground(option, spec.backColour);
        return option;
    }
    case ControlKind::TextBox: {
        auto *edit = new QLineEdit(parent);
        // Qt's own default (32767) would cut a long text that the line could still take.
        edit->setMaxLength(FreeFormTextLimit);
        return edit;
    }
    case ControlKind::Picture:
        return new Picture(parent);
    }
    return nullptr;
}
} // namespace

QRect toPixels(const TwipsRect &rect)
{
    return QRect(twipsToPixels(rect.left), twipsToPixels(rect.top), twipsToPixels(rect.width),
                 twipsToPixels(rect.height));
}

QFont consoleFont(const FontSpec &spec)
{
    const bool fixedPitch = spec.face == FontFace::Gothic;
    static const QString gothic = installedFamily({u"ＭＳ ゴシック", u"IPAGothic", u"Noto Sans Mono CJK JP"});
    static const QString pGothic = installedFamily({u"ＭＳ Ｐゴシック", u"IPAPGothic", u"Noto Sans CJK JP"});
    QFont font;
    // The installed family named alone, so that no name missing here sends Qt to a substitute of its own:
    // every caption of one face comes from one family. With none installed, the style hint chooses.
    const QString &family = fixedPitch ? gothic : pGothic;
    if (!family.isEmpty())
        font.setFamilies({family});
    font.setStyleHint(fixedPitch ? QFont::TypeWriter : QFont::SansSerif);
    font.setFixedPitch(fixedPitch);
    font.setPointSizeF(spec.points);
    font.setBold(spec.bold);
    return font;
}

QWidget *makeControl(const ControlSpec &spec, QWidget *parent)
{
    QWidget *widget = makeWidget(spec, parent);
    widget->setObjectName(toQString(spec.name));
    widget->setGeometry(toPixels(spec.geometry));
    widget->setFont(consoleFont(spec.font));
    // A button's caption is laid out once, for the size and font it has just been given.
    if (auto *button = dynamic_cast<CaptionButton *>(widget))
        button->setCaption(std::string(spec.caption));
    widget->setVisible(spec.visibleAtStart);
    return widget;
}

QWidget *makeLine(const LineSpec &spec, QWidget *parent)
{
    auto *line = new QWidget(parent);
    line->setObjectName(toQString(spec.name));
    const int x1 = twipsToPixels(spec.x1), y1 = twipsToPixels(spec.y1);
    const int x2 = twipsToPixels(spec.x2), y2 = twipsToPixels(spec.y2);
    // Two pixels wide, centred on the path, and long enough to close the corners.
    line->setGeometry(std::min(x1, x2) - LinePixels / 2, std::min(y1, y2) - LinePixels / 2,
                      std::abs(x2 - x1) + LinePixels, std::abs(y2 - y1) + LinePixels);
    line->setPalette(QPalette(QColor::fromRgb(LineColour)));
    line->setAutoFillBackground(true);
    return line;
}
