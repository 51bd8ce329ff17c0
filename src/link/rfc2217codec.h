#pragma once

#include "link/linesettings.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The client side of telnet with the COM port control option: the operator's bytes in and out unchanged,
// the line settings sent to the server, and the server's negotiation answered without ever looping.
class Rfc2217Codec
{
public:
    static constexpr unsigned char Iac = 255;
    static constexpr unsigned char Binary = 0;
    static constexpr unsigned char ComPort = 44;
    // A server that goes on changing its options past this many answers, or goes on offering and asking
    // past this many negotiation commands (a handful open a line), negotiates without end.
    static constexpr std::size_t AnswerLimit = 256;
    static constexpr std::size_t NegotiationLimit = 4096;

    // Where the server stands on COM port control, which carries the line settings.
    enum class ComPortControl : std::uint8_t { Asked, Agreed, Refused };

    // What arrived, split: the data for the operator and what must go back to the server.
    struct Decoded
    {
        std::string data;
        std::string answer;
    };

    // A new connection: forgets everything and returns the opening offers (BINARY both ways, COM port
    // control), followed by the line settings once the server agrees to COM port control.
    std::string start(const LineSettings &line);
    // The operator's bytes as they go on the wire: every 255 doubled.
    static std::string encode(std::string_view data);
    // New line settings: the wire bytes that send the speed and whatever else changed, now, or nothing
    // until the server takes COM port control (then all of them go).
    std::string setLine(const LineSettings &line);
    // Takes bytes in any pieces; a command split between two arrivals is completed by the next.
    Decoded decode(std::string_view wire);

    // The server has sent at least one telnet negotiation since start: it speaks telnet at all.
    bool negotiated() const { return m_negotiations > 0; }
    bool comPortAgreed() const { return m_us[ComPort] == State::Yes; }
    ComPortControl comPortControl() const;
    // The server has gone past AnswerLimit or NegotiationLimit: nothing more is answered.
    bool negotiatesWithoutEnd() const { return m_answers > AnswerLimit || m_negotiations > NegotiationLimit; }
    // The speed the server last said it runs at, 0 before it has said.
    int acknowledgedBaud() const { return m_acknowledgedBaud; }

private:
    // Refused: an option of the server's we declined once; asked again, it is not answered again.
    enum class State : std::uint8_t { No, Asked, Yes, Refused };
    enum class Reading : std::uint8_t { Data, Command, Option, Sub, SubCommand };

    static std::string settingsWire(const LineSettings &line, const LineSettings *previous);
    void negotiate(unsigned char verb, unsigned char option, std::string &answer);
    void answer(unsigned char verb, unsigned char option, std::string &answer);
    void readCommand(unsigned char byte);
    // One byte of a command, an option, or what follows a 255 in a subnegotiation.
    void readByte(unsigned char byte, Decoded &decoded);
    // Bytes of a subnegotiation's body, kept up to the longest the COM port option defines.
    void keepSub(std::string_view bytes);
    void endSubnegotiation();

    std::array<State, 256> m_us{};   // options we perform (WILL)
    std::array<State, 256> m_them{}; // options the server performs (DO)
    Reading m_reading = Reading::Data;
    unsigned char m_verb = 0;
    std::string m_sub;
    LineSettings m_line;
    bool m_settingsPending = false;
    int m_acknowledgedBaud = 0;
    std::size_t m_answers = 0;
    std::size_t m_negotiations = 0;
};
