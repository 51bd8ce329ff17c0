#include "watch/fleetfile.h"

#include "link/linesettings.h"
#include "wire/printable.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>

namespace {
constexpr char CommentMark = '#';
constexpr std::string_view Blanks = " \t";
constexpr std::size_t MostFields = 3;

bool isNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> found;
    while (found.size() <= MostFields) {
        const std::size_t start = line.find_first_not_of(Blanks);
        if (start == std::string_view::npos)
            break;
        line.remove_prefix(start);
        const std::size_t end = std::min(line.find_first_of(Blanks), line.size());
        found.push_back(line.substr(0, end));
        line.remove_prefix(end);
    }
    return found;
}

// Shown as it was written, but never a control byte on the operator's terminal, and never long.
std::string shown(std::string_view text)
{
    return printable(text, FleetFile::NameLimitBytes);
}

bool looksLikeEndpoint(std::string_view field)
{
    return field.starts_with('/') || field.find("://") != std::string_view::npos;
}

// An endpoint where the speed belongs, or later: the name before it has a blank.
void checkNameHasNoBlank(const std::vector<std::string_view> &found)
{
    const auto endpoint = std::find_if(found.begin() + 2, found.end(), looksLikeEndpoint);
    if (endpoint == found.end())
        return;
    std::string name(found[0]);
    for (auto field = found.begin() + 1; field != endpoint; ++field)
        name.append(" ").append(*field);
    throw std::invalid_argument("'" + shown(name) +
                                "' has a blank: a name is letters, digits, '-', '_' and '.', and the "
                                "endpoint follows it");
}

// The projector of one line's fields; throws the reason alone.
FleetProjector projectorOf(const std::vector<std::string_view> &found)
{
    if (found.size() == 1)
        throw std::invalid_argument(shown(found[0]) + " has no endpoint");
    checkNameHasNoBlank(found);
    if (found.size() > MostFields)
        throw std::invalid_argument("more than NAME ENDPOINT SPEED: '" + shown(found[MostFields]) + "'");
    FleetProjector projector;
    projector.name = std::string(found[0]);
    if (projector.name.size() > FleetFile::NameLimitBytes)
        throw std::invalid_argument("a name is at most " + std::to_string(FleetFile::NameLimitBytes) +
                                    " bytes");
    if (!std::all_of(projector.name.begin(), projector.name.end(), isNameCharacter))
        throw std::invalid_argument("'" + shown(projector.name) +
                                    "': a name is letters, digits, '-', '_' and '.'");
    projector.endpoint = parseEndpoint(found[1], EndpointPlace::FleetFile);
    if (projector.endpoint.kind == Endpoint::Kind::Auto)
        throw std::invalid_argument(
            "auto chooses an adapter by itself; name each projector's device in a fleet");
    const std::optional<std::string> settings =
        found.size() > 2 ? settingsForSpeed(found[2]) : std::optional<std::string>(Settings19200);
    if (!settings)
        throw std::invalid_argument("the speed is 9600 or 19200, not '" + shown(found[2]) + "'");
    projector.settings = *settings;
    return projector;
}

// What the projector's link connects to, whatever the scheme: a device as its path is given, a server as
// each of its host's addresses with the port as a number.
std::vector<std::string> serversOf(const Endpoint &endpoint, const HostAddresses &addresses)
{
    if (endpoint.kind == Endpoint::Kind::Device)
        return {"device " + endpoint.device};
    std::vector<std::string> servers;
    for (const std::string &address : addresses(endpoint.host))
        servers.push_back(address + " port " + std::to_string(endpoint.port));
    return servers;
}
} // namespace

std::vector<std::string> hostAsWritten(const std::string &host)
{
    std::string lower = host;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return {lower};
}

std::vector<FleetProjector> parseFleetFile(std::string_view text, const std::string &file,
                                           const HostAddresses &addresses)
{
    if (text.size() > FleetFile::FileLimitBytes)
        throw FleetFileError(file + ": longer than " + std::to_string(FleetFile::FileLimitBytes) + " bytes");
    std::vector<FleetProjector> projectors;
    // Each name and server seen, and the line that named it first.
    std::map<std::string, std::size_t> names;
    std::map<std::string, std::size_t> servers;
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const auto refuse = [&file, number](const std::string &what) {
            return FleetFileError(file + ":" + std::to_string(number) + ": " + what);
        };
        if (line.size() > FleetFile::LineLimitBytes)
            throw refuse("longer than " + std::to_string(FleetFile::LineLimitBytes) + " bytes");
        line = line.substr(0, std::min(line.find(CommentMark), line.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::vector<std::string_view> found = fields(line);
        if (found.empty())
            continue;
        FleetProjector projector;
        try {
            projector = projectorOf(found);
        } catch (const std::invalid_argument &error) {
            throw refuse(error.what());
        }
        if (const auto first = names.find(projector.name); first != names.end())
            throw refuse(projector.name + " is named twice (first on line " + std::to_string(first->second) +
                         ")");
        const std::vector<std::string> reached = serversOf(projector.endpoint, addresses);
        for (const std::string &server : reached) {
            if (const auto first = servers.find(server); first != servers.end())
                throw refuse(shown(projector.endpoint.text) + " connects where line " +
                             std::to_string(first->second) +
                             " does, and one watch would knock the other off");
        }
        if (projectors.size() == FleetFile::ProjectorLimit)
            throw refuse("more than " + std::to_string(FleetFile::ProjectorLimit) + " projectors");
        names.emplace(projector.name, number);
        for (const std::string &server : reached)
            servers.emplace(server, number);
        projectors.push_back(std::move(projector));
    }
    if (projectors.empty())
        throw FleetFileError(file + ":" + std::to_string(std::max<std::size_t>(number, 1)) +
                             ": no projector in the file");
    return projectors;
}
