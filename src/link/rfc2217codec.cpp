#include "link/rfc2217codec.h"

#include <algorithm>

namespace {
constexpr unsigned char Se = 240;
constexpr unsigned char Sb = 250;
constexpr unsigned char Will = 251;
constexpr unsigned char Wont = 252;
constexpr unsigned char Do = 253;
constexpr unsigned char Dont = 254;

// COM port control commands, client to server; the server answers each with the code plus 100.
constexpr unsigned char SetBaudRate = 1;
constexpr unsigned char SetDataSize = 2;
constexpr unsigned char SetParity = 3;
constexpr unsigned char SetStopSize = 4;
constexpr unsigned char SetControl = 5;
constexpr unsigned char ServerOffset = 100;
constexpr unsigned char NoFlowControl = 1;

constexpr std::string_view IacText("\xff", 1);

// A subnegotiation longer than any the COM port option defines is not kept past this.
constexpr std::size_t SubnegotiationLimit = 64;

unsigned char parityCode(char parity)
{
    switch (parity) {
    case 'O':
        return 2;
    case 'E':
        return 3;
    case 'M':
        return 4;
    case 'S':
        return 5;
    default:
        return 1;
    }
}

std::string command(unsigned char verb, unsigned char option)
{
    return {char(Rfc2217Codec::Iac), char(verb), char(option)};
}

// One COM port subnegotiation, its value in network byte order with 255 doubled like any data.
std::string subnegotiation(unsigned char code, std::string_view value)
{
    return std::string{char(Rfc2217Codec::Iac), char(Sb), char(Rfc2217Codec::ComPort), char(code)} +
           Rfc2217Codec::encode(value) + std::string{char(Rfc2217Codec::Iac), char(Se)};
}

std::string byteValue(int value)
{
    return std::string(1, char(value));
}

std::string baudValue(int baud)
{
    const auto value = std::uint32_t(baud);
    return {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
}

bool accepted(unsigned char option, bool ours)
{
    return option == Rfc2217Codec::Binary || (ours && option == Rfc2217Codec::ComPort);
}
} // namespace

std::string Rfc2217Codec::start(const LineSettings &line)
{
    *this = Rfc2217Codec();
    m_line = line;
    m_settingsPending = true;
    m_us[Binary] = State::Asked;
    m_them[Binary] = State::Asked;
    m_us[ComPort] = State::Asked;
    return command(Will, Binary) + command(Do, Binary) + command(Will, ComPort);
}

std::string Rfc2217Codec::encode(std::string_view data)
{
    std::string wire;
    wire.reserve(data.size());
    for (const char byte : data) {
        wire.push_back(byte);
        if (static_cast<unsigned char>(byte) == Iac)
            wire.push_back(byte);
    }
    return wire;
}

std::string Rfc2217Codec::settingsWire(const LineSettings &line, const LineSettings *previous)
{
    std::string wire = subnegotiation(SetBaudRate, baudValue(line.baud));
    if (!previous || previous->dataBits != line.dataBits)
        wire += subnegotiation(SetDataSize, byteValue(line.dataBits));
    if (!previous || previous->parity != line.parity)
        wire += subnegotiation(SetParity, byteValue(parityCode(line.parity)));
    if (!previous || previous->stopBits != line.stopBits)
        wire += subnegotiation(SetStopSize, byteValue(line.stopBits));
    if (!previous)
        wire += subnegotiation(SetControl, byteValue(NoFlowControl));
    return wire;
}

std::string Rfc2217Codec::setLine(const LineSettings &line)
{
    const LineSettings previous = m_line;
    m_line = line;
    if (!comPortAgreed()) {
        // A server that withdrew COM port control and takes it again has not heard these settings.
        m_settingsPending = true;
        return {};
    }
    return settingsWire(line, &previous);
}

Rfc2217Codec::ComPortControl Rfc2217Codec::comPortControl() const
{
    // Asked at every start, so No can only be the server's refusal.
    switch (m_us[ComPort]) {
    case State::Yes:
        return ComPortControl::Agreed;
    case State::Asked:
        return ComPortControl::Asked;
    default:
        return ComPortControl::Refused;
    }
}

void Rfc2217Codec::answer(unsigned char verb, unsigned char option, std::string &answer)
{
    ++m_answers;
    if (!negotiatesWithoutEnd())
        answer += command(verb, option);
}

void Rfc2217Codec::negotiate(unsigned char verb, unsigned char option, std::string &answer)
{
    // Each side of an option answers only a change of state, so no exchange can go round for ever; an
    // option declined once is not answered again, so a server that repeats it gets nothing back.
    const bool ours = verb == Do || verb == Dont;
    State &state = ours ? m_us[option] : m_them[option];
    const bool enable = verb == Do || verb == Will;
    const unsigned char yes = ours ? Will : Do;
    const unsigned char no = ours ? Wont : Dont;
    if (enable) {
        if (state == State::Yes || state == State::Refused)
            return;
        if (!accepted(option, ours)) {
            this->answer(no, option, answer);
            state = State::Refused;
            return;
        }
        if (state == State::No)
            this->answer(yes, option, answer);
        state = State::Yes;
        if (ours && option == ComPort && m_settingsPending) {
            answer += settingsWire(m_line, nullptr);
            m_settingsPending = false;
        }
        return;
    }
    if (state == State::Yes)
        this->answer(no, option, answer);
    if (state != State::Refused)
        state = State::No;
}

void Rfc2217Codec::readCommand(unsigned char byte)
{
    // A verb names an option next, SB opens a subnegotiation; every other command is a single byte.
    m_reading = Reading::Data;
    if (byte >= Will) {
        m_verb = byte;
        m_reading = Reading::Option;
    } else if (byte == Sb) {
        m_sub.clear();
        m_reading = Reading::Sub;
    }
}

void Rfc2217Codec::endSubnegotiation()
{
    // The server's answer to a speed request carries the speed it runs at; the rest is only noted.
    if (m_sub.size() == 6 && static_cast<unsigned char>(m_sub[0]) == ComPort &&
        static_cast<unsigned char>(m_sub[1]) == SetBaudRate + ServerOffset) {
        std::uint32_t baud = 0;
        for (std::size_t i = 2; i < 6; ++i)
            baud = baud << 8 | static_cast<unsigned char>(m_sub[i]);
        m_acknowledgedBaud = int(baud);
    }
    m_sub.clear();
}

void Rfc2217Codec::readByte(unsigned char byte, Decoded &decoded)
{
    switch (m_reading) {
    case Reading::Data:
    case Reading::Sub:
        // Taken as runs by decode().
        break;
    case Reading::Command:
        if (byte == Iac) {
            decoded.data.push_back(char(Iac));
            m_reading = Reading::Data;
        } else {
            readCommand(byte);
        }
        break;
    case Reading::Option:
        ++m_negotiations;
        negotiate(m_verb, byte, decoded.answer);
        m_reading = Reading::Data;
        break;
    case Reading::SubCommand:
        if (byte == Iac) {
            keepSub(IacText);
            m_reading = Reading::Sub;
        } else if (byte == Se) {
            endSubnegotiation();
            m_reading = Reading::Data;
        } else {
            // Another command cuts the subnegotiation short: it is dropped, and the command is read as a
            // command, so that none of its bytes reach the data.
            m_sub.clear();
            readCommand(byte);
        }
        break;
    }
}

void Rfc2217Codec::keepSub(std::string_view bytes)
{
    m_sub.append(bytes.substr(0, SubnegotiationLimit - std::min(m_sub.size(), SubnegotiationLimit)));
}

Rfc2217Codec::Decoded Rfc2217Codec::decode(std::string_view wire)
{
    // Data and a subnegotiation's body are taken a run between two 255s at a time, and a data 255 (sent
    // as two) a run of pairs at a time: a server that floods any of them costs a copy, not a step of
    // the reader for each byte.
    constexpr char IacByte = IacText[0];
    Decoded decoded;
    decoded.data.reserve(wire.size());
    while (!wire.empty()) {
        if (m_reading != Reading::Data && m_reading != Reading::Sub) {
            readByte(static_cast<unsigned char>(wire.front()), decoded);
            wire.remove_prefix(1);
            continue;
        }
        const std::size_t run = std::min(wire.find(IacByte), wire.size());
        if (m_reading == Reading::Data)
            decoded.data.append(wire.substr(0, run));
        else
            keepSub(wire.substr(0, run));
        wire.remove_prefix(run);
        if (wire.empty())
            break;
        if (m_reading == Reading::Data) {
            std::size_t pairs = 0;
            while (2 * pairs + 1 < wire.size() && wire[2 * pairs] == IacByte &&
                   wire[2 * pairs + 1] == IacByte)
                ++pairs;
            decoded.data.append(pairs, IacByte);
            wire.remove_prefix(2 * pairs);
            if (wire.empty() || wire.front() != IacByte)
                continue;
        }
        m_reading = m_reading == Reading::Data ? Reading::Command : Reading::SubCommand;
        wire.remove_prefix(1);
    }
    return decoded;
}
