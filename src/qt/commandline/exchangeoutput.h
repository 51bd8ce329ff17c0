#pragma once

#include "console/exchange.h"

#include <QByteArray>

// One line of the command-line mode's text output, with its newline: the text sent, the reply's trace
// and, for a status query, the decoded text, each in double quotes so every blank shows.
QByteArray exchangeText(const Exchange &exchange);

// The same exchange as one compact JSON object and a newline.
QByteArray exchangeJson(const Exchange &exchange);
