#include "exchange/exchange.h"

#include "wire/framing.h"
#include "wire/noreply.h"
#include "wire/statusdecoding.h"
#include "wire/trace.h"

#include <algorithm>

void Reply::add(std::string_view bytes)
{
    if (complete)
        return;
    const std::size_t end = bytes.find('\r');
    complete = end != std::string_view::npos;
    const std::string_view part = complete ? bytes.substr(0, end + 1) : bytes;
    const std::size_t taken = std::min(ReplyLimit - kept.size(), part.size());
    kept.append(part.substr(0, taken));
    cut += part.size() - taken;
}

Exchange describeExchange(std::string sent, Reply reply, std::chrono::duration<double, std::milli> time)
{
    Exchange exchange;
    exchange.sent = std::move(sent);
    exchange.reply = std::move(reply.kept);
    exchange.cut = reply.cut;
    exchange.refused = reply.complete && exchange.reply == RefusedReply;
    // A reply that had not reached its CR when the wait ran out is shown as far as it came.
    exchange.trace = exchange.reply.empty() ? std::string(NoReplyTrace) : renderTrace(exchange.reply);
    exchange.time = time;
    const std::string command = frameCommand(EmptyCommandPrefix, exchange.sent);
    // A reply another query would give is not this one's answer, however it came.
    exchange.misfit =
        reply.complete && !exchange.refused && !fitsReplyForm(command, exchange.reply, exchange.trace);
    exchange.answered = reply.complete && !exchange.misfit;
    // Only a whole reply is decoded, and a reply no row knows leaves STATUS blank.
    if (!isStatusQuery(command))
        return exchange;
    exchange.status =
        exchange.answered ? decodeStatus(command, exchange.trace).value_or(std::string()) : std::string();
    exchange.value = exchange.answered ? decodeValue(command, exchange.reply, exchange.trace) : StatusValue();
    return exchange;
}
