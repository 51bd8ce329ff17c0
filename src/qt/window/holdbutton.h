#pragma once

#include "qt/window/captionbutton.h"

#include <functional>

// A button that acts while held: any mouse button presses it, the release ends it wherever the pointer
// is, and the keyboard never presses it.
class HoldButton : public CaptionButton
{
public:
    explicit HoldButton(QWidget *parent) : CaptionButton(parent) {}

    std::function<void()> onPress;
    std::function<void()> onRelease;

    // Ends a hold that the mouse can no longer end, as when a message box takes the window: the
    // release never reaches this button then.
    void endHold();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    bool m_held = false;
};
