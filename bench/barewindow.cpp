// The yardstick for the console's start-up: a bare Qt 6 window with five buttons and nothing else.
#include <QApplication>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

namespace {
constexpr int Buttons = 5;
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    for (int i = 1; i <= Buttons; ++i)
        layout->addWidget(new QPushButton(QStringLiteral("Button %1").arg(i)));
    window.show();
    return QApplication::exec();
}
