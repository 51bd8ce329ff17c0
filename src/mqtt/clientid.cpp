#include "mqtt/clientid.h"

namespace {
constexpr std::string_view Prefix = "tavo-console-";

bool allowed(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}
} // namespace

std::string fleetClientId(std::string_view fleetFile)
{
    std::string_view name = fleetFile.substr(fleetFile.rfind('/') + 1);
    // A leading dot names a hidden file, not an extension.
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0)
        name = name.substr(0, dot);
    std::string id(Prefix);
    for (const char c : name.substr(0, ClientIdLimit - Prefix.size()))
        id += allowed(c) ? c : '_';
    return id;
}
