#pragma once

#include "simulator/projectorcommands.h"
#include "simulator/simulatoroptions.h"
#include "simulator/transmission.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One line the projector took and what goes back for it, in pieces: none when the reply is dropped.
struct Answer
{
    std::string line;
    const ProjectorCommand *command = nullptr; // nullptr for a line it does not understand
    std::vector<Transmission> pieces;
};

// A simulated projector: its state, driven by an explicit clock, and the line it answers on.
class Projector
{
public:
    enum class Power { Standby, CountDown, On, CoolingDown };

    static constexpr int InitialLampHours = 1234;
    static constexpr char Ack = 6;

    explicit Projector(const SimulatorOptions &options = {});

    // Bytes from the line at clock value now; an answer for each line they end, in order, each piece with
    // the clock value at which it is due.
    std::vector<Answer> receive(std::string_view bytes, std::chrono::milliseconds now);
    // The line was broken: the start of a command that came before it is not joined to what comes next.
    void forgetPartialLine() { m_line.clear(); }
    // The whole reply to one command line (without its CR) at clock value now, before any shaping.
    std::string answer(std::string_view line, std::chrono::milliseconds now);

    Power power(std::chrono::milliseconds now);
    int input() const { return m_input; }
    int volume() const { return m_volume; }
    bool soundMuted() const { return m_soundMuted; }
    bool noShow() const { return m_noShow; }
    bool frozen() const { return m_frozen; }
    int lampHours(std::chrono::milliseconds now);
    // How many times a known command line has been received.
    int timesReceived(std::string_view line) const;

private:
    void advanceTo(std::chrono::milliseconds now);
    bool lampLit() const { return m_power == Power::CountDown || m_power == Power::On; }
    std::string carryOut(ProjectorAction action, std::chrono::milliseconds now);
    std::optional<std::string> queryReply(ProjectorAction action, std::chrono::milliseconds now);
    std::string temperatures() const;
    void changePower(Power power, std::chrono::milliseconds at);
    std::vector<Transmission> shape(std::string reply, std::chrono::milliseconds now);
    std::string statusLine(std::chrono::milliseconds now);

    SimulatorOptions m_options;
    std::string m_line;
    Power m_power = Power::Standby;
    std::chrono::milliseconds m_powerSince{0};
    std::chrono::milliseconds m_lampTime{0}; // lit time up to m_powerSince
    int m_input = 1;
    int m_volume = 32;
    bool m_soundMuted = false;
    bool m_noShow = false;
    bool m_frozen = false;
    std::string m_orientation = "11";
    int m_pressureReading = 853;
    std::uint64_t m_replies = 0;
    std::uint32_t m_noiseState = 1;
    std::map<std::string, int, std::less<>> m_received;
};
