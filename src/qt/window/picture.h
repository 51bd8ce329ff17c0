#pragma once

#include <functional>

#include <QLabel>

// The console's picture at the top right: our own small emblem, and a double-click for the service area.
class Picture : public QLabel
{
public:
    static constexpr int PixelWidth = 80;
    static constexpr int PixelHeight = 26;

    explicit Picture(QWidget *parent);

    std::function<void()> onDoubleClick;

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};
