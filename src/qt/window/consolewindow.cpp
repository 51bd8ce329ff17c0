#include "qt/window/consolewindow.h"

#include "qt/window/captionbutton.h"
#include "qt/window/captionlabel.h"
#include "qt/window/controlfactory.h"
#include "qt/window/holdbutton.h"
#include "qt/window/linebytes.h"
#include "qt/window/picture.h"
#include "window/controltable.h"
#include "window/form1.h"
#include "window/windowheights.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>

namespace {
int shiftState(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}
} // namespace

ConsoleWindow::ConsoleWindow() : m_heightTwips(windowSpec().outerHeight)
{
    const WindowSpec &spec = windowSpec();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(toQString(spec.caption));
    setPalette(QPalette(QColor::fromRgb(spec.backColour)));
    setAutoFillBackground(true);
    setFont(consoleFont(WindowFont));
    setFixedSize(twipsToPixels(spec.clientWidth), twipsToPixels(spec.clientHeight));
    for (const ControlSpec &control : controlTable()) {
        QWidget *parent = control.container.empty() ? this : m_controls.at(std::string(control.container));
        m_controls[std::string(control.name)] = makeControl(control, parent);
    }
    // Labels lie beneath every button and box, as in the toolkit the window was designed in: a title
    // label and the button under it share one pixel row, and the button's border must win it.
    for (const ControlSpec &control : controlTable()) {
        if (control.kind == ControlKind::Label)
            m_controls.at(std::string(control.name))->lower();
    }
    for (const LineSpec &line : outlineLines())
        m_controls[std::string(line.name)] = makeLine(line, this);
    groupOptionsByContainer();
    m_controls.at("Frame8")->raise();
    // The window sees every key before the focused control does.
    qApp->installEventFilter(this);
}

// Qt's auto-exclusive options reach into nested frames, which would tie the port pair to the speed
// pair inside it; each container's options are a choice of their own.
void ConsoleWindow::groupOptionsByContainer()
{
    std::map<std::string_view, QButtonGroup *> groups;
    for (const ControlSpec &spec : controlTable()) {
        if (spec.kind != ControlKind::Option)
            continue;
        QButtonGroup *&group = groups[spec.container];
        if (!group)
            group =
                new QButtonGroup(spec.container.empty() ? this : m_controls.at(std::string(spec.container)));
        group->addButton(qobject_cast<QRadioButton *>(m_controls.at(std::string(spec.name))));
    }
}

ConsoleWindow::~ConsoleWindow()
{
    qApp->removeEventFilter(this);
}

void ConsoleWindow::attach(Form1 &form)
{
    m_form = &form;
    for (const ControlSpec &spec : controlTable()) {
        const std::string name(spec.name);
        QWidget *widget = m_controls.at(name);
        if (auto *hold = dynamic_cast<HoldButton *>(widget)) {
            hold->onPress = [this, name] { m_form->mouseDown(name); };
            hold->onRelease = [this, name] { m_form->mouseUp(name); };
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            connect(button, &QAbstractButton::clicked, this, [this, name] { m_form->click(name); });
        } else if (auto *picture = dynamic_cast<Picture *>(widget)) {
            picture->onDoubleClick = [this, name] { m_form->doubleClick(name); };
        }
    }
}

QWidget *ConsoleWindow::control(std::string_view name) const
{
    auto found = m_controls.find(name);
    // A handler's typo would be ignored here; a debug build stops on it.
    Q_ASSERT_X(found != m_controls.end(), "ConsoleWindow::control", std::string(name).c_str());
    return found == m_controls.end() ? nullptr : found->second;
}

std::string ConsoleWindow::caption(std::string_view name) const
{
    QWidget *widget = control(name);
    if (auto *label = dynamic_cast<CaptionLabel *>(widget))
        return label->caption();
    if (auto *button = dynamic_cast<CaptionButton *>(widget))
        return button->caption();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text().toStdString();
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text().toStdString();
    return {};
}

void ConsoleWindow::setCaption(std::string_view name, const std::string &caption)
{
    QWidget *widget = control(name);
    if (auto *label = dynamic_cast<CaptionLabel *>(widget))
        label->setCaption(caption);
    else if (auto *button = dynamic_cast<CaptionButton *>(widget))
        button->setCaption(caption);
}

bool ConsoleWindow::visible(std::string_view name) const
{
    QWidget *widget = control(name);
    return widget && !widget->isHidden();
}

void ConsoleWindow::setVisible(std::string_view name, bool shown)
{
    if (QWidget *widget = control(name))
        widget->setVisible(shown);
}

void ConsoleWindow::select(std::string_view option)
{
    if (auto *button = qobject_cast<QRadioButton *>(control(option)))
        button->setChecked(true);
}

std::string ConsoleWindow::text(std::string_view textBox) const
{
    if (auto *edit = qobject_cast<QLineEdit *>(control(textBox)))
        return lineBytes(edit->text());
    return {};
}

void ConsoleWindow::setText(std::string_view textBox, const std::string &text)
{
    if (auto *edit = qobject_cast<QLineEdit *>(control(textBox)))
        edit->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

TwipsSize ConsoleWindow::screenSize() const
{
    const QScreen *shown = screen() ? screen() : QGuiApplication::primaryScreen();
    const QSize size = shown ? shown->geometry().size() : QSize();
    return {double(size.width()) * TwipsPerPixel, double(size.height()) * TwipsPerPixel};
}

TwipsSize ConsoleWindow::windowSize() const
{
    return {double(windowSpec().outerWidth), m_heightTwips};
}

double ConsoleWindow::frameTwips() const
{
    // The offscreen platform invents its frame margins; only a window manager's are real.
    const int framePixels = frameGeometry().height() - geometry().height();
    const bool real = isVisible() && framePixels > 0 && QGuiApplication::platformName() != "offscreen";
    return real ? double(framePixels) * TwipsPerPixel : FrameAllowanceTwips;
}

void ConsoleWindow::setWindowHeight(double twips)
{
    m_heightTwips = twips;
    m_frameTwipsUsed = frameTwips();
    setFixedHeight(twipsToPixels(twips - m_frameTwipsUsed));
}

void ConsoleWindow::moveEvent(QMoveEvent *event)
{
    // A window manager adds its frame after the window is first shown: the outer height must still hold.
    QWidget::moveEvent(event);
    if (frameTwips() != m_frameTwipsUsed)
        setWindowHeight(m_heightTwips);
}

void ConsoleWindow::moveWindow(double left, double top)
{
    move(twipsToPixels(left), twipsToPixels(top));
}

void ConsoleWindow::unload()
{
    close();
    if (onUnload)
        onUnload();
}

bool ConsoleWindow::eventFilter(QObject *watched, QEvent *event)
{
    // A message box over the window takes the mouse, and with it the release of a held button.
    if (event->type() == QEvent::WindowBlocked && watched == this) {
        for (const auto &[name, widget] : m_controls) {
            if (auto *hold = dynamic_cast<HoldButton *>(widget))
                hold->endHold();
        }
    }
    // A key travels up from the focused control; look at it once, at its first stop, and pass it on.
    if (event->type() == QEvent::KeyPress && m_form) {
        QWidget *first = QApplication::focusWidget() ? QApplication::focusWidget() : this;
        if (watched == first && (first == this || isAncestorOf(first))) {
            const auto *key = static_cast<QKeyEvent *>(event);
            m_form->keyDown(key->key(), shiftState(key->modifiers()));
        }
    }
    return QWidget::eventFilter(watched, event);
}
