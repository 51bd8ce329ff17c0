#include "watch/presslog.h"

void PressLog::pressed(const std::string &projector, const std::string &from, const PressOutcome &outcome)
{
    m_log.write("PRESS", projector, pressRecord(from, outcome));
}
