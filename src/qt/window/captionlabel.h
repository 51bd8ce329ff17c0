#pragma once

#include <string>

#include <QLabel>

// A label that keeps its whole caption but lays out only the start of it, so a trace tens of thousands
// of characters long costs no more to show than the label can hold.
class CaptionLabel : public QLabel
{
public:
    // More than the widest label can show in its one line at the smallest font.
    static constexpr std::size_t ShownBytesLimit = 512;

    explicit CaptionLabel(QWidget *parent) : QLabel(parent) {}

    const std::string &caption() const { return m_caption; }
    void setCaption(const std::string &caption);

private:
    std::string m_caption;
};
