#pragma once

#include "exchange/exchange.h"
#include "watch/pressoutcome.h"

#include <string>

#include <QByteArray>

// One line of the command-line mode's text output, with its newline: the text sent, the reply's trace
// and, for a status query, the decoded text, each in double quotes so every blank shows; then how many
// bytes of the reply were cut, when any were. A time given (a status watch's) goes first, and a
// projector named (a fleet's) before it.
QByteArray exchangeText(const Exchange &exchange, const std::string &time = {},
                        const std::string &projector = {});

// The same exchange as one compact JSON object and a newline; a time given is its `time`, a projector
// named its `projector`.
QByteArray exchangeJson(const Exchange &exchange, const std::string &time = {},
                        const std::string &projector = {});

// A status value as --json gives it, without a newline: a key or text in quotes, a number, an array of
// numbers, or null.
QByteArray valueJson(const StatusValue &value);

// What became of a watch's line, as one compact JSON object and a newline: its `time`, `port`, `line`
// ("lost"; "still_lost" for each open again that failed; "back") and `reason`, and a projector named.
QByteArray lineJson(const std::string &time, const std::string &port, const std::string &line,
                    const std::string &reason, const std::string &projector = {});

// A press given from outside, as one compact JSON object and a newline: its `time`, `projector`, `press`
// (the text), `from`, `outcome` ("sent", "held", "already", "dropped") and, for the last two, `detail`.
QByteArray pressJson(const std::string &time, const std::string &projector, const std::string &from,
                     const PressOutcome &outcome);

// A projector's line lent or taken back, as one compact JSON object and a newline: its `time`,
// `projector` and `lent`, the address it is lent to or null when taken back.
QByteArray lentJson(const std::string &time, const std::string &projector, const std::string &to);

// Why the run ended early, as one compact JSON object and a newline: the error, the port and the exit code.
QByteArray failureJson(const std::string &error, const std::string &port, int exitCode);
