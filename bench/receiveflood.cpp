// Time the real window takes for one arrival of received bytes, by how much the buffer already holds.
#include "fakeserialport.h"
#include "windowconsole.h"

#include <algorithm>
#include <cstdio>

#include <QApplication>

namespace {
constexpr int ArrivalsPerSize = 200;
constexpr int BytesPerArrival = 8; // about what one read brings at 19200 baud
constexpr std::size_t BufferSizes[] = {100, 1000, 10000, 32767};
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    FakeSerialPort port;
    WindowConsole console(port);
    console.form.click("Command44");
    // The first paint loads the fonts; keep it out of the figures.
    port.deliver("00\r");
    QApplication::processEvents();
    std::printf("%10s %14s %14s\n", "buffer", "mean us", "worst us");
    for (std::size_t size : BufferSizes) {
        double total = 0;
        double worst = 0;
        for (int arrival = 0; arrival < ArrivalsPerSize; ++arrival) {
            // A buffer of this size, emptied by a hold release, then one arrival on top of it.
            console.form.mouseDown("Command1");
            console.form.mouseUp("Command1");
            port.deliver(std::string(size - std::min<std::size_t>(size, BytesPerArrival), '5'));
            const auto start = std::chrono::steady_clock::now();
            port.deliver(std::string(BytesPerArrival, '5'));
            QApplication::processEvents();
            const double us =
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
            total += us;
            worst = std::max(worst, us);
        }
        std::printf("%10zu %14.1f %14.1f\n", size, total / ArrivalsPerSize, worst);
    }
    return 0;
}
