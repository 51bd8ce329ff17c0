// Any bytes on the simulated projector's line, in any pieces and at any pace: it never crashes, never
// answers before it was asked, every answer it gives ends in its one carriage return, and its output
// buffer never holds more than it may, whatever the line takes.
#include "simulator/projector.h"
#include "simulator/replyqueue.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {
void require(bool holds)
{
    if (!holds)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    SimulatorOptions options;
    options.pieces = 1 + data[0] % 4;
    options.dropEvery = data[1] % 5;
    Projector projector(options);
    ReplyQueue queue(size);
    std::chrono::milliseconds now{0};
    std::size_t at = 2;
    while (at < size) {
        const std::size_t chunk = 1 + data[at] % 32;
        now += std::chrono::milliseconds(data[at] * 20);
        ++at;
        const std::string_view bytes(reinterpret_cast<const char *>(data + at), std::min(chunk, size - at));
        at += bytes.size();
        for (const Answer &answer : projector.receive(bytes, now)) {
            std::string reply;
            for (const Transmission &piece : answer.pieces) {
                require(piece.at >= now);
                reply += piece.bytes;
            }
            require(reply.empty() ||
                    (reply.back() == '\r' && std::count(reply.begin(), reply.end(), '\r') == 1));
            queue.add(answer.pieces);
        }
        queue.release(now);
        queue.taken(bytes.size() % 7);
        require(queue.waitingBytes() <= queue.capacityBytes());
        require(projector.lampHours(now) >= Projector::InitialLampHours);
    }
    return 0;
}
