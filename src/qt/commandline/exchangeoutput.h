#pragma once

#include "console/exchange.h"

#include <QByteArray>

// One line of the command-line mode's text output, with its newline: the text sent, the reply's trace
// and, for a status query, the decoded text, each in double quotes so every blank shows; then how many
// bytes of the reply were cut, when any were.
QByteArray exchangeText(const Exchange &exchange);

// The same exchange as one compact JSON object and a newline.
QByteArray exchangeJson(const Exchange &exchange);
