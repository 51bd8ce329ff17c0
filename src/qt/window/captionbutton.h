#pragma once

#include <optional>
#include <string>

#include <QFont>
#include <QPushButton>

// A button that keeps its whole caption and, where the caption is wider than the button, shows it on
// as many lines as it needs: broken between words, or between characters where it has no blanks.
class CaptionButton : public QPushButton
{
public:
    explicit CaptionButton(QWidget *parent) : QPushButton(parent) {}

    const std::string &caption() const { return m_caption; }
    void setCaption(const std::string &caption);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void showCaption();

    struct ShownFor
    {
        std::string caption;
        int width = 0;
        QFont font;
    };

    std::string m_caption;
    // What the text on the button was laid out for.
    std::optional<ShownFor> m_shownFor;
};
