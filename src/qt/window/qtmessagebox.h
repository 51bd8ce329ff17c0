#pragma once

#include "window/messagebox.h"

#include <QFontMetrics>
#include <QPointer>
#include <QString>
#include <QWidget>

// The text with every run that has no space and is wider than width shortened in its middle.
QString fitToWidth(const QString &text, const QFontMetrics &metrics, int width);

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
