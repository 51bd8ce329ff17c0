#include "qt/qtmessagebox.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {
void show(QWidget *parent, QMessageBox::Icon icon, const QString &text)
{
    QMessageBox box(icon, QCoreApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.exec();
}
} // namespace

void QtMessageBox::warning(const std::string &text)
{
    show(m_parent, QMessageBox::Warning, QString::fromStdString(text));
}

void QtMessageBox::error(int number, const std::string &description)
{
    show(m_parent, QMessageBox::Critical,
         QStringLiteral("%1\n\n(error %2)").arg(QString::fromStdString(description)).arg(number));
}
