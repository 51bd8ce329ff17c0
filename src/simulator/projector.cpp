#include "simulator/projector.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

using namespace std::chrono_literals;

namespace {
constexpr char CarriageReturn = '\r';
constexpr char LineFeed = '\n';
constexpr std::string_view Unknown = "?";
// A line longer than any command is kept only this far, and then answers as unknown.
constexpr std::size_t MaxLineLength = 256;
constexpr int MaxVolume = 63;
constexpr auto MillisecondsPerHour = std::chrono::milliseconds(std::chrono::hours(1)).count();

// Three temperatures in whole fields of five, one blank between.
constexpr std::string_view StandbyTemperatures = "025.0 024.5 023.0";
constexpr std::string_view LitTemperatures = "038.5 041.0 036.0";
constexpr std::string_view CoolingTemperatures = "032.0 035.5 030.5";

// The operating state's code, in the order of Projector::Power.
constexpr std::string_view PowerCodes[] = {"80", "40", "00", "20"};

// Linear congruential noise: the same bytes every run, so a test can count on them.
constexpr std::uint32_t NoiseMultiplier = 1103515245;
constexpr std::uint32_t NoiseIncrement = 12345;
constexpr int NoiseShift = 16;

std::string withCr(std::string_view text)
{
    std::string reply(text);
    reply.push_back(CarriageReturn);
    return reply;
}

const char *onOff(bool on)
{
    return on ? "ON" : "OFF";
}
} // namespace

Projector::Projector(const SimulatorOptions &options) : m_options(options) {}

void Projector::advanceTo(std::chrono::milliseconds now)
{
    if (m_power == Power::CountDown && now - m_powerSince >= m_options.warmUp)
        changePower(Power::On, m_powerSince + m_options.warmUp);
    if (m_power == Power::CoolingDown && now - m_powerSince >= m_options.coolDown)
        changePower(Power::Standby, m_powerSince + m_options.coolDown);
}

void Projector::changePower(Power power, std::chrono::milliseconds at)
{
    if (lampLit())
        m_lampTime += at - m_powerSince;
    m_power = power;
    m_powerSince = at;
}

Projector::Power Projector::power(std::chrono::milliseconds now)
{
    advanceTo(now);
    return m_power;
}

int Projector::lampHours(std::chrono::milliseconds now)
{
    advanceTo(now);
    auto lit = m_lampTime;
    if (lampLit())
        lit += std::max(0ms, now - m_powerSince);
    return InitialLampHours + static_cast<int>(lit.count() / MillisecondsPerHour);
}

int Projector::timesReceived(std::string_view line) const
{
    const auto found = m_received.find(line);
    return found == m_received.end() ? 0 : found->second;
}

std::vector<Answer> Projector::receive(std::string_view bytes, std::chrono::milliseconds now)
{
    std::vector<Answer> answers;
    for (const char c : bytes) {
        if (c == LineFeed)
            continue;
        if (c != CarriageReturn) {
            if (m_line.size() < MaxLineLength)
                m_line.push_back(c);
            continue;
        }
        std::string line = std::exchange(m_line, {});
        // A bare CR is line noise, not a command.
        if (line.empty())
            continue;
        const ProjectorCommand *command = findProjectorCommand(line);
        std::string reply = answer(line, now);
        answers.push_back({std::move(line), command, shape(std::move(reply), now)});
    }
    return answers;
}

std::string Projector::answer(std::string_view line, std::chrono::milliseconds now)
{
    advanceTo(now);
    const ProjectorCommand *command = findProjectorCommand(line);
    if (!command)
        return withCr(Unknown);
    ++m_received[std::string(line)];
    return carryOut(command->action, now);
}

// A query's reply, or the acknowledgement of a command after its change of state.
std::string Projector::carryOut(ProjectorAction action, std::chrono::milliseconds now)
{
    if (const std::optional<std::string> reply = queryReply(action, now))
        return withCr(*reply);
    using enum ProjectorAction;
    switch (action) {
    // A lamp warming or cooling takes no power command; it is acknowledged all the same.
    case PowerOn:
        if (m_power == Power::Standby)
            changePower(Power::CountDown, now);
        break;
    case PowerOff:
        if (m_power == Power::On)
            changePower(Power::CoolingDown, now);
        break;
    case InputPc1:
    case InputPc2:
    case InputVideo:
        m_input = 1 + static_cast<int>(action) - static_cast<int>(InputPc1);
        break;
    case VolumeUp:
        m_volume = std::min(m_volume + 1, MaxVolume);
        break;
    case VolumeDown:
        m_volume = std::max(m_volume - 1, 0);
        break;
    case SoundMuteOn:
    case SoundMuteOff:
        m_soundMuted = action == SoundMuteOn;
        break;
    case NoShowOn:
    case NoShowOff:
        m_noShow = action == NoShowOn;
        break;
    case FreezeOn:
    case FreezeOff:
        m_frozen = action == FreezeOn;
        break;
    default: // Acknowledge, and the queries answered above
        break;
    }
    return std::string{Ack, CarriageReturn};
}

// A query's reply without its CR; none for a command.
std::optional<std::string> Projector::queryReply(ProjectorAction action, std::chrono::milliseconds now)
{
    using enum ProjectorAction;
    switch (action) {
    case QueryPower:
        return std::string(PowerCodes[static_cast<int>(m_power)]);
    case QueryInput:
        return std::to_string(m_input);
    case QueryLampHours: {
        std::array<char, 12> digits{}; // room for any int
        std::snprintf(digits.data(), digits.size(), "%05d", lampHours(now));
        return digits.data();
    }
    case QueryOrientation:
        return m_orientation;
    case QueryTemperatures:
        return temperatures();
    case QueryLampMode:
        return lampLit() ? "03" : "00";
    case QueryStatusLine:
        return statusLine(now);
    case QueryMute:
        if (m_power == Power::Standby)
            return "FF";
        return std::string("0") + char('0' + (m_noShow ? 1 : 0) + (m_soundMuted ? 2 : 0));
    case QueryPressure:
        return std::to_string(m_pressureReading);
    default:
        return std::nullopt;
    }
}

std::string Projector::temperatures() const
{
    if (m_power == Power::Standby)
        return std::string(StandbyTemperatures);
    return std::string(m_power == Power::CoolingDown ? CoolingTemperatures : LitTemperatures);
}

std::string Projector::statusLine(std::chrono::milliseconds now)
{
    static constexpr const char *PowerNames[] = {"STANDBY", "COUNTDOWN", "ON", "COOLING"};
    static constexpr const char *InputNames[] = {"PC1", "PC2", "VIDEO"};
    std::array<char, 128> text{};
    std::snprintf(text.data(), text.size(), "PWR %s IN %s VOL %02d MUTE %s NOSHOW %s FRZ %s LAMP %05dH",
                  PowerNames[static_cast<int>(m_power)], InputNames[m_input - 1], m_volume,
                  onOff(m_soundMuted), onOff(m_noShow), onOff(m_frozen), lampHours(now));
    return text.data();
}

std::vector<Transmission> Projector::shape(std::string reply, std::chrono::milliseconds now)
{
    ++m_replies;
    if (m_options.dropEvery > 0 && m_replies % static_cast<std::uint64_t>(m_options.dropEvery) == 0)
        return {};
    std::string noise;
    for (int i = 0; i < m_options.noiseBytes; ++i) {
        m_noiseState = m_noiseState * NoiseMultiplier + NoiseIncrement;
        const char byte = static_cast<char>(m_noiseState >> NoiseShift);
        // Noise never ends a reply early.
        noise.push_back(byte == CarriageReturn ? char(CarriageReturn + 1) : byte);
    }
    reply.insert(0, noise);
    const std::size_t pieces = std::min<std::size_t>(std::max(m_options.pieces, 1), reply.size());
    std::vector<Transmission> out;
    auto at = now + m_options.replyDelay;
    std::size_t start = 0;
    for (std::size_t i = 0; i < pieces; ++i) {
        const std::size_t end = reply.size() * (i + 1) / pieces;
        out.push_back({at, reply.substr(start, end - start)});
        start = end;
        at += m_options.pieceGap;
    }
    return out;
}
