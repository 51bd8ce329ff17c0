// Any command last sent and any bytes received: the trace keeps its shape and the decoding gives
// only a text it can give.
#include "wire/decodingtables.h"
#include "wire/framing.h"
#include "wire/pressure.h"
#include "wire/statusdecoding.h"
#include "wire/trace.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {
constexpr std::array<std::string_view, 11> Commands{"CR0", "CR1",         "CR3", "CR4", "CR6", "CRA",
                                                    "CR9", "CR PRESSURE", "CR7", "C00", "cr0"};

void require(bool holds)
{
    if (!holds)
        std::abort();
}

bool isPressureText(const std::string &text)
{
    if (text == PressureOutOfRangeText)
        return true;
    const std::string_view suffix = " hPa";
    if (text.size() <= suffix.size() || text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const int value = std::atoi(text.c_str());
    return value >= -6866 && value <= 7078 && std::to_string(value) + " hPa" == text;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view command = Commands[data[0] % Commands.size()];
    const std::string received(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::string trace = renderTrace(received);

    require(!trace.empty() && trace[0] == ' ');
    bool ordinary = true;
    for (std::size_t k = 0; k < received.size() && ordinary; ++k) {
        const auto code = static_cast<unsigned char>(received[k]);
        ordinary = code >= 32 && code <= 122;
        if (ordinary)
            require(trace[2 * k + 1] == received[k] && trace[2 * k + 2] == ' ');
    }

    const auto status = decodeStatus(frameCommand("", command), trace);
    if (!status)
        return 0;
    if (command == "CR9")
        require(*status == trace);
    else if (command == "CR3")
        require(status->size() <= 38 + 9 && status->ends_with(" Hour Use"));
    else if (command == "CR6")
        require(status->starts_with("  S1=") && status->ends_with(" C"));
    else if (command == "CR PRESSURE")
        require(isPressureText(*status));
    else {
        bool tabled = false;
        for (const DecodingTable &table : decodingTables())
            for (const DecodingRow &row : table.rows)
                tabled = tabled || row.text == *status;
        require(tabled);
    }
    return 0;
}
