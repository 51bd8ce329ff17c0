#pragma once

#include "window/controls.h"

#include <functional>
#include <map>
#include <string>

#include <QWidget>

class Form1;

// The console's one window, built from the control table, and the controls the handlers change.
// It holds no behaviour: every event goes to the Form1 it is attached to.
class ConsoleWindow : public QWidget, public Controls
{
public:
    ConsoleWindow();
    ~ConsoleWindow() override;

    void attach(Form1 &form);
    // Called when END has closed the window: the program ends.
    std::function<void()> onUnload;

    std::string caption(std::string_view control) const override;
    void setCaption(std::string_view control, const std::string &caption) override;
    bool visible(std::string_view control) const override;
    void setVisible(std::string_view control, bool visible) override;
    void select(std::string_view option) override;
    std::string text(std::string_view textBox) const override;
    void setText(std::string_view textBox, const std::string &text) override;
    TwipsSize screenSize() const override;
    TwipsSize windowSize() const override;
    double windowHeight() const override { return m_heightTwips; }
    void setWindowHeight(double twips) override;
    void moveWindow(double left, double top) override;
    void unload() override;

    QWidget *control(std::string_view name) const;
    // Title bar and frame in twips: the window manager's where it tells, a fixed allowance where not.
    double frameTwips() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void groupOptionsByContainer();

    std::map<std::string, QWidget *, std::less<>> m_controls;
    double m_heightTwips;
    double m_frameTwipsUsed = 0;
    Form1 *m_form = nullptr;
};
