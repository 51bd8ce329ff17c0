// The console's core driven by arbitrary input: received chunks in any pieces, interleaved with clicks,
// holds, free-form sends and timer ticks. Nothing may crash, and nothing may reach the line that no
// handler sent.
#include "consolefixture.h"
#include "wire/holdtable.h"
#include "wire/oneshottable.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace {
void require(bool holds)
{
    if (!holds)
        std::abort();
}

// Reads the input a byte at a time; past its end every read is 0.
struct Input
{
    const std::uint8_t *data;
    std::size_t size;
    std::size_t at = 0;

    bool more() const { return at < size; }
    std::uint8_t next() { return at < size ? data[at++] : 0; }
    std::string bytes(std::size_t count)
    {
        std::string taken;
        while (count-- > 0 && more())
            taken.push_back(char(next()));
        return taken;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ConsoleFixture console;
    console.load();
    Input in{data, size};
    std::set<std::string> sent;
    const std::string *heldControl = nullptr;
    std::string held;
    while (in.more()) {
        const std::uint8_t op = in.next();
        switch (op % 6) {
        case 0:
            console.port.deliver(in.bytes(in.next() % 64));
            break;
        case 1: {
            const auto buttons = oneShotButtons();
            const OneShotButton &button = buttons[in.next() % buttons.size()];
            sent.insert(std::string(button.code) + '\r');
            console.form.click(button.control);
            break;
        }
        case 2: {
            const auto buttons = holdButtons();
            const HoldButton &button = buttons[in.next() % buttons.size()];
            if (heldControl) {
                console.form.mouseUp(held);
                heldControl = nullptr;
            } else {
                held = std::string(button.control);
                heldControl = &held;
                sent.insert(std::string(button.code) + '\r');
                console.form.mouseDown(held);
            }
            break;
        }
        case 3: {
            const std::string typed = in.bytes(in.next() % 16);
            console.controls.setText("Text1", typed);
            sent.insert(typed + '\r');
            console.form.click("Command95");
            break;
        }
        case 4:
            console.advance(in.next() * 4);
            break;
        case 5:
            console.form.click(in.next() % 2 ? "Option1" : "Option10");
            break;
        }
        require(console.form.fields().AwaitingReply <= 1);
        require(console.form.fields().ReceiveBuffer.size() <= 32767);
        for (const std::string &write : console.port.writes)
            require(sent.count(write) == 1);
        console.port.writes.clear();
    }
    return 0;
}
