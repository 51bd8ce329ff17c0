#pragma once

#include "link/serialport.h"

#include <set>
#include <string>
#include <vector>

// A serial port for tests: records every call and byte, delivers received chunks, fails on demand.
class FakeSerialPort : public SerialPort
{
public:
    void setCommPort(int port) override;
    int CommPort() const override { return m_commPort; }
    void setSettings(const std::string &settings) override;
    bool PortOpen() const override { return m_open; }
    void setPortOpen(bool open) override;
    bool connecting() const override { return m_connecting; }
    void Output(const std::string &bytes) override;
    std::string Input() override;
    std::size_t OutBufferCount() const override { return outBuffer; }
    int CommEvent() const override { return m_event; }
    std::string portName() const override;
    void noReply(const std::string &command, std::chrono::milliseconds waited) override
    {
        noReplies.push_back(command + " " + std::to_string(waited.count()));
    }
    void ignored(const std::string &bytes, const std::string &why) override
    {
        ignores.push_back(bytes + " " + why);
    }

    // Characters arriving from the projector, raising OnComm once.
    void deliver(const std::string &bytes);
    // An OnComm with another event code.
    void raiseEvent(int code);
    // The far end goes away: the port closes and reports it.
    void lose();
    // The server of a port left connecting answers: what was written meanwhile reaches the line.
    void connect();
    // ... or does not: the port closes and reports why, and what was written meanwhile is dropped.
    void failConnecting(const std::string &reason);

    std::set<int> failingPorts;    // opening these fails with "no such device"
    std::set<int> connectingPorts; // opening these waits for connect() or failConnecting()
    bool refusesWrites = false;    // every write fails, the port staying open, as a line that takes no data
    std::size_t outBuffer = 0;     // bytes written that a slow line has not taken yet
    std::string written;           // every byte that reached the line, in order
    std::vector<std::string> writes;
    std::vector<std::string> log;       // "CommPort 1", "Settings 19200,N,8,1", "PortOpen 1", "Output ..."
    std::vector<std::string> noReplies; // each command told unanswered, and the ms it waited: "CR0\r 500"
    std::vector<std::string> ignores;   // bytes taken for no reply, and why: "80\r late"

private:
    int m_commPort = 1;
    bool m_open = false;
    bool m_connecting = false;
    // Written while connecting.
    std::string m_queued;
    int m_event = 0;
    std::string m_settings;
    std::string m_pending;
};
