#include "watch/presslog.h"

#include "watch/readablelines.h"

void PressLog::pressed(const std::string &projector, const std::string &from, const PressOutcome &outcome)
{
    m_log.write("PRESS", projector, pressRecord(from, outcome));
}

void PressLog::lineLent(const std::string &projector, const std::string &to)
{
    m_log.write("LEND", projector, lendText(to));
}
