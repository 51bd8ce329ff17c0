#include "simulator/projector.h"

#include "commands/holdtable.h"
#include "commands/oneshottable.h"
#include "console/findrow.h"

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

// Linear congruential noise: the same bytes every run, so a test can count on them.
constexpr std::uint32_t NoiseMultiplier = 1103515245;
constexpr std::uint32_t NoiseIncrement = 12345;
constexpr int NoiseShift = 16;

bool isButtonCode(std::string_view line)
{
    return findRow(oneShotButtons(), &OneShotButton::code, line) ||
           findRow(holdButtons(), &HoldButton::code, line);
}

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
    if (m_power == Power::CountDown && now - m_powerSince >= CountDownPeriod)
        changePower(Power::On, m_powerSince + CountDownPeriod);
    if (m_power == Power::CoolingDown && now - m_powerSince >= CoolingPeriod)
        changePower(Power::Standby, m_powerSince + CoolingPeriod);
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

std::vector<Transmission> Projector::receive(std::string_view bytes, std::chrono::milliseconds now)
{
    std::vector<Transmission> out;
    for (const char c : bytes) {
        if (c == LineFeed)
            continue;
        if (c != CarriageReturn) {
            if (m_line.size() < MaxLineLength)
                m_line.push_back(c);
            continue;
        }
        const std::string line = std::exchange(m_line, {});
        // A bare CR is line noise, not a command.
        if (!line.empty())
            shape(answer(line, now), now, out);
    }
    return out;
}

std::string Projector::answer(std::string_view line, std::chrono::milliseconds now)
{
    advanceTo(now);
    std::string reply = query(line, now);
    if (!reply.empty()) {
        ++m_received[std::string(line)];
        return reply;
    }
    if (isButtonCode(line)) {
        apply(line, now);
        ++m_received[std::string(line)];
        return std::string{Ack, CarriageReturn};
    }
    return withCr(Unknown);
}

std::string Projector::query(std::string_view line, std::chrono::milliseconds now)
{
    if (line == "CR0") {
        switch (m_power) {
        case Power::Standby:
            return withCr("80");
        case Power::CountDown:
            return withCr("40");
        case Power::On:
            return withCr("00");
        case Power::CoolingDown:
            return withCr("20");
        }
    }
    if (line == "CR1")
        return withCr(std::to_string(m_input));
    if (line == "CR3") {
        std::array<char, 12> digits{}; // room for any int
        std::snprintf(digits.data(), digits.size(), "%05d", lampHours(now));
        return withCr(digits.data());
    }
    if (line == "CR4")
        return withCr(m_orientation);
    if (line == "CR6") {
        if (m_power == Power::Standby)
            return withCr(StandbyTemperatures);
        return withCr(m_power == Power::CoolingDown ? CoolingTemperatures : LitTemperatures);
    }
    if (line == "CR7")
        return withCr(lampLit() ? "03" : "00");
    if (line == "CR9")
        return withCr(statusLine(now));
    if (line == "CRA") {
        if (m_power == Power::Standby)
            return withCr("FF");
        return withCr(std::string("0") + char('0' + (m_noShow ? 1 : 0) + (m_soundMuted ? 2 : 0)));
    }
    if (line == "CR PRESSURE")
        return withCr(std::to_string(m_pressureReading));
    return {};
}

// Changes the state for a command that means something to it.
void Projector::apply(std::string_view line, std::chrono::milliseconds now)
{
    if (line == "C00") {
        if (m_power == Power::Standby)
            changePower(Power::CountDown, now);
    } else if (line == "C01") {
        if (m_power == Power::CountDown || m_power == Power::On)
            changePower(Power::CoolingDown, now);
    } else if (line == "C05" || line == "C06" || line == "C07") {
        m_input = line.back() - '4';
    } else if (line == "C09") {
        m_volume = std::min(m_volume + 1, MaxVolume);
    } else if (line == "C0A") {
        m_volume = std::max(m_volume - 1, 0);
    } else if (line == "C0B" || line == "C0C") {
        m_soundMuted = line == "C0B";
    } else if (line == "C0D" || line == "C0E") {
        m_noShow = line == "C0D";
    } else if (line == "C43" || line == "C44") {
        m_frozen = line == "C43";
    }
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

void Projector::shape(std::string reply, std::chrono::milliseconds now, std::vector<Transmission> &out)
{
    ++m_replies;
    if (m_options.dropEvery > 0 && m_replies % static_cast<std::uint64_t>(m_options.dropEvery) == 0)
        return;
    std::string noise;
    for (int i = 0; i < m_options.noiseBytes; ++i) {
        m_noiseState = m_noiseState * NoiseMultiplier + NoiseIncrement;
        const char byte = static_cast<char>(m_noiseState >> NoiseShift);
        // Noise never ends a reply early.
        noise.push_back(byte == CarriageReturn ? char(CarriageReturn + 1) : byte);
    }
    reply.insert(0, noise);
    const std::size_t pieces = std::min<std::size_t>(std::max(m_options.pieces, 1), reply.size());
    auto at = now + m_options.replyDelay;
    std::size_t start = 0;
    for (std::size_t i = 0; i < pieces; ++i) {
        const std::size_t end = reply.size() * (i + 1) / pieces;
        out.push_back({at, reply.substr(start, end - start)});
        start = end;
        at += m_options.pieceGap;
    }
}
