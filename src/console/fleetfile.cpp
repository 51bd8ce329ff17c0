#include "console/fleetfile.h"

#include "link/linesettings.h"
#include "wire/printable.h"

#include <algorithm>
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

// The projector a line's fields name, NAME ENDPOINT [SPEED]; throws what refuse makes of the reason.
template <class Refuse>
FleetProjector projectorOf(const std::vector<std::string_view> &found, const Refuse &refuse)
{
    if (found.size() == 1)
        throw refuse(shown(found[0]) + " has no endpoint");
    if (found.size() > MostFields)
        throw refuse("more than NAME ENDPOINT SPEED: '" + shown(found[MostFields]) + "'");
    FleetProjector projector;
    projector.name = std::string(found[0]);
    if (projector.name.size() > FleetFile::NameLimitBytes)
        throw refuse("a name is at most " + std::to_string(FleetFile::NameLimitBytes) + " bytes");
    if (!std::all_of(projector.name.begin(), projector.name.end(), isNameCharacter))
        throw refuse("'" + shown(projector.name) + "': a name is letters, digits, '-', '_' and '.'");
    try {
        projector.endpoint = parseEndpoint(found[1]);
    } catch (const std::invalid_argument &error) {
        throw refuse(error.what());
    }
    if (projector.endpoint.kind == Endpoint::Kind::Auto)
        throw refuse("auto chooses an adapter by itself; name each projector's device in a fleet");
    const std::optional<std::string> settings =
        found.size() > 2 ? settingsForSpeed(found[2]) : std::optional<std::string>(Settings19200);
    if (!settings)
        throw refuse("the speed is 9600 or 19200, not '" + shown(found[2]) + "'");
    projector.settings = *settings;
    return projector;
}
} // namespace

std::vector<FleetProjector> parseFleetFile(std::string_view text, const std::string &file)
{
    if (text.size() > FleetFile::FileLimitBytes)
        throw FleetFileError(file + ": longer than " + std::to_string(FleetFile::FileLimitBytes) + " bytes");
    std::vector<FleetProjector> projectors;
    // Each name and endpoint seen, and the line that named it first.
    std::map<std::string, std::size_t> names;
    std::map<std::string, std::size_t> endpoints;
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
        FleetProjector projector = projectorOf(found, refuse);
        if (const auto first = names.find(projector.name); first != names.end())
            throw refuse(projector.name + " is named twice (first on line " + std::to_string(first->second) +
                         ")");
        if (const auto first = endpoints.find(projector.endpoint.text); first != endpoints.end())
            throw refuse(shown(projector.endpoint.text) + " is the endpoint of line " +
                         std::to_string(first->second) + " too");
        if (projectors.size() == FleetFile::ProjectorLimit)
            throw refuse("more than " + std::to_string(FleetFile::ProjectorLimit) + " projectors");
        names.emplace(projector.name, number);
        endpoints.emplace(projector.endpoint.text, number);
        projectors.push_back(std::move(projector));
    }
    if (projectors.empty())
        throw FleetFileError(file + ":" + std::to_string(std::max<std::size_t>(number, 1)) +
                             ": no projector in the file");
    return projectors;
}
