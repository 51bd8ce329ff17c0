#include "console/exchange.h"

#include "wire/framing.h"
#include "wire/noreply.h"
#include "wire/statusdecoding.h"
#include "wire/trace.h"

namespace {
// CommandPrefix stays empty for the whole run.
constexpr std::string_view SendPrefix{};
} // namespace

Exchange describeExchange(std::string sent, std::string reply, std::chrono::duration<double, std::milli> time)
{
    Exchange exchange;
    exchange.sent = std::move(sent);
    exchange.reply = std::move(reply);
    exchange.answered = !exchange.reply.empty();
    exchange.trace = exchange.answered ? renderTrace(exchange.reply) : std::string(NoReplyTrace);
    exchange.time = time;
    const std::string command = frameCommand(SendPrefix, exchange.sent);
    // Nothing is decoded when nothing came, and a reply no row knows leaves STATUS blank.
    if (isStatusQuery(command))
        exchange.status =
            exchange.answered ? decodeStatus(command, exchange.trace).value_or(std::string()) : std::string();
    return exchange;
}
