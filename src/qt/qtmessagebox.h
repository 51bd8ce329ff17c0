#pragma once

#include "console/messagebox.h"

#include <QPointer>
#include <QWidget>

// The console's message box: a modal QMessageBox with one OK button and the application's title.
class QtMessageBox : public MessageBox
{
public:
    explicit QtMessageBox(QWidget *parent) : m_parent(parent) {}

    void warning(const std::string &text) override;
    void error(int number, const std::string &description) override;

private:
    QPointer<QWidget> m_parent;
};
