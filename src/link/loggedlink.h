#pragma once

#include "link/bytelink.h"
#include "link/trafficlog.h"

#include <memory>
#include <optional>
#include <string>

// A byte link that writes everything it carries, and every open, close, loss and failed open, to the
// traffic log under its port's name, each when it happens on the line. The RX line that completes the
// reply to a status query also says what the reply means ("= standby", "= 1234 h").
class LoggedLink : public ByteLink
{
public:
    LoggedLink(std::unique_ptr<ByteLink> inner, TrafficLog &log, std::string portName);

    void open(const LineSettings &line) override;
    void close() override;
    bool isOpen() const override { return m_inner->isOpen(); }
    bool connecting() const override { return m_inner->connecting(); }
    void setLineSettings(const LineSettings &line) override;
    void write(const std::string &bytes) override;
    std::string readAll() override;
    std::size_t bytesWaiting() const override { return m_inner->bytesWaiting(); }
    bool appliesLineSettings() const override { return m_inner->appliesLineSettings(); }

private:
    void logOpened();
    // " = VALUE" when bytes complete the reply to the status query last sent, else nothing.
    std::string valueOfReply(const std::string &bytes);

    std::unique_ptr<ByteLink> m_inner;
    LineSettings m_line;
    TrafficLog &m_log;
    std::string m_portName;
    // The status query last sent, while its reply has not reached its CR, and the reply so far.
    std::optional<std::string> m_query;
    std::string m_reply;
};
