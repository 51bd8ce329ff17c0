#include "consolefixture.h"

#include "window/controltable.h"

ConsoleFixture::ConsoleFixture()
    : Timer1(clock.makeTimer(Timer1Interval)), Timer2(clock.makeTimer(Timer2Interval)),
      Timer3(clock.makeTimer(Timer3Interval)), Timer4(clock.makeTimer(Timer4Interval)),
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
