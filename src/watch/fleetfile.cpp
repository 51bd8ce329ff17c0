#include "watch/fleetfile.h"

#include "link/linesettings.h"
#include "wire/printable.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <span>

namespace {
constexpr char CommentMark = '#';
constexpr std::string_view Blanks = " \t";
constexpr char KeyMark = '=';
// NAME and ENDPOINT, which every line has; SPEED and the KEY=VALUE fields follow.
constexpr std::size_t FirstFields = 2;

bool isNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> found;
    while (true) {
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
    if (field.find(KeyMark) != std::string_view::npos)
        return false;
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

// A projector's or a group's name, as written; `what` says which in the reason.
std::string nameOf(std::string_view field, const std::string &what)
{
    if (field.size() > FleetFile::NameLimitBytes)
        throw std::invalid_argument(what + " is at most " + std::to_string(FleetFile::NameLimitBytes) +
                                    " bytes");
    if (!std::all_of(field.begin(), field.end(), isNameCharacter))
        throw std::invalid_argument("'" + shown(field) + "': " + what +
                                    " is letters, digits, '-', '_' and '.'");
    return std::string(field);
}

// Names the console's own MQTT topics take beside the projectors' (BASE/bridge/availability, the
// groups'): a projector of that name would publish over them.
struct ReservedName
{
    std::string_view name;
    std::string_view why;
};
constexpr std::array<ReservedName, 2> ReservedNames = {{
    {"bridge", "the console's own availability on MQTT, which a projector of that name would take over"},
    {"group", "the console's topics of the groups on MQTT, which a projector of that name would take over"},
}};

std::string projectorNameOf(std::string_view field)
{
    std::string name = nameOf(field, "a name");
    for (const ReservedName &reserved : ReservedNames) {
        if (name == reserved.name)
            throw std::invalid_argument("'" + name + "' is a reserved name: it is " +
                                        std::string(reserved.why));
    }
    return name;
}

// A server's [HOST:]PORT, given as KEY=VALUE; PORT alone listens on `host`, and 0 takes a free port.
HostPort listenAddress(std::string_view key, std::string_view value, std::string_view host)
{
    try {
        return parseHostPort(value.find(':') == std::string_view::npos
                                 ? std::string(host) + ":" + std::string(value)
                                 : std::string(value),
                             0);
    } catch (const std::invalid_argument &error) {
        throw std::invalid_argument(std::string(key) + "=" + shown(value) + ": " + error.what());
    }
}

// A KEY=VALUE field a line may carry after the endpoint and speed, each at most once.
struct FleetKey
{
    std::string_view key;
    void (*take)(FleetProjector &, std::string_view value);
};
constexpr std::array<FleetKey, 3> FleetKeys = {{
    {"group",
     [](FleetProjector &projector, std::string_view value) { projector.group = nameOf(value, "a group"); }},
    {"pjlink", [](FleetProjector &projector,
                  std::string_view value) { projector.pjlink = listenAddress("pjlink", value, "0.0.0.0"); }},
    {"lend",
     [](FleetProjector &projector,
        std::string_view value) { // A lent line sends any code to the projector: open to the network only
                                  // where the file says so.
         projector.lend = listenAddress("lend", value, "127.0.0.1");
     }},
}};

std::string knownKeys()
{
    std::string known;
    for (const FleetKey &key : FleetKeys)
        known.append(known.empty() ? "" : ", ").append(key.key).append("=");
    return known;
}

// The KEY=VALUE fields into the projector; throws the reason alone.
void takeKeys(FleetProjector &projector, std::span<const std::string_view> found)
{
    std::set<std::string_view> given;
    for (const std::string_view field : found) {
        const std::size_t mark = field.find(KeyMark);
        if (mark == std::string_view::npos || mark == 0)
            throw std::invalid_argument("more than NAME ENDPOINT SPEED: '" + shown(field) +
                                        "' is no KEY=VALUE field");
        const std::string_view key = field.substr(0, mark);
        const std::string_view value = field.substr(mark + 1);
        const auto known = std::find_if(FleetKeys.begin(), FleetKeys.end(),
                                        [key](const FleetKey &row) { return row.key == key; });
        if (known == FleetKeys.end())
            throw std::invalid_argument("'" + shown(field) + "': unknown field; a line takes " + knownKeys());
        if (!given.insert(known->key).second)
            throw std::invalid_argument(shown(key) + "= is given twice");
        if (value.empty())
            throw std::invalid_argument(shown(key) + "= has no value");
        known->take(projector, value);
    }
}

// The projector of one line's fields; throws the reason alone.
FleetProjector projectorOf(const std::vector<std::string_view> &found)
{
    if (found.size() == 1)
        throw std::invalid_argument(shown(found[0]) + " has no endpoint");
    checkNameHasNoBlank(found);
    FleetProjector projector;
    projector.name = projectorNameOf(found[0]);
    projector.endpoint = parseEndpoint(found[1], EndpointPlace::FleetFile);
    if (projector.endpoint.kind == Endpoint::Kind::Auto)
        throw std::invalid_argument(
            "auto chooses an adapter by itself; name each projector's device in a fleet");
    // The speed is the one field after the endpoint that is no KEY=VALUE.
    const bool speedGiven =
        found.size() > FirstFields && found[FirstFields].find(KeyMark) == std::string_view::npos;
    const std::optional<std::string> settings =
        speedGiven ? settingsForSpeed(found[FirstFields]) : std::optional<std::string>(Settings19200);
    if (!settings)
        throw std::invalid_argument("the speed is 9600 or 19200, not '" + shown(found[FirstFields]) + "'");
    projector.settings = *settings;
    takeKeys(projector, std::span(found).subspan(FirstFields + (speedGiven ? 1 : 0)));
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
