#include "consolefixture.h"

using namespace std::chrono_literals;

ConsoleFixture::ConsoleFixture()
    : Timer1(clock.makeTimer(200ms)), Timer2(clock.makeTimer(500ms)), Timer3(clock.makeTimer(5000ms)),
      Timer4(clock.makeTimer(1000ms)),
      form(Platform{port, Timer1, Timer2, Timer3, Timer4, controls, messages})
{
}

void ConsoleFixture::load()
{
    form.Form_Load();
    port.log.clear();
}

void ConsoleFixture::hold(std::string_view control, int ms)
{
    form.mouseDown(control);
    advance(ms);
    form.mouseUp(control);
}
