#pragma once

#include "link/bytelink.h"
#include "link/endpoint.h"
#include "link/linesettings.h"
#include "link/serialport.h"
#include "link/trafficlog.h"

#include <functional>
#include <memory>
#include <string>

#include <QObject>

// The console's serial port (MSComm1): COM1 and COM2 are two endpoints named at start, each reached
// through the byte link its endpoint names, made afresh at every open. What a link raises reaches the
// handlers from the event loop, never from inside the link's own call, so that a handler may replace the
// link from a message box's own loop.
class QtSerialPort : public QObject, public SerialPort
{
public:
    QtSerialPort(const Endpoint &com1, const Endpoint &com2, QObject *parent = nullptr);
    ~QtSerialPort() override;

    void setCommPort(int port) override;
    int CommPort() const override { return m_commPort; }
    void setSettings(const std::string &settings) override;
    bool PortOpen() const override { return m_link && m_link->isOpen(); }
    void setPortOpen(bool open) override;
    bool connecting() const override { return m_link && m_link->connecting(); }
    void Output(const std::string &bytes) override;
    std::string Input() override;
    std::size_t OutBufferCount() const override { return m_link ? m_link->bytesWaiting() : 0; }
    int CommEvent() const override { return m_event; }
    std::string portName() const override;

    // The name messages give the port before its endpoint: COM1 or COM2 when empty, as at start.
    void setName(std::string name) { m_name = std::move(name); }
    // Every link opened from now on writes its traffic to the log; nullptr keeps none.
    void setTrafficLog(TrafficLog *log) { m_log = log; }
    void noReply(const std::string &command, std::chrono::milliseconds waited) override;
    void ignored(const std::string &bytes, const std::string &why) override;
    // Told after an open, a connection made or failed, a close, a loss or a new speed, for whoever shows
    // the port's state.
    void setOnChanged(std::function<void()> onChanged) { m_onChanged = std::move(onChanged); }
    // port is 1 or 2: the endpoint named, and what it is shown as (for auto, the device last chosen).
    const Endpoint &endpoint(int port) const { return m_endpoints[port - 1]; }
    const std::string &shownName(int port) const { return m_shownNames[port - 1]; }
    const std::string &settings() const { return m_settings; }

private:
    [[noreturn]] void fail(const SerialError &error) const;
    Endpoint linkEndpoint();
    void replaceLink(std::unique_ptr<ByteLink> link);
    // Tells the handlers on a later turn of the event loop, once the link's own call has returned, unless
    // the link of that generation has been replaced by then.
    template <class Notify> void tellLater(unsigned generation, Notify &&notify);
    // A call into the link whose failure is told with the port's name in front.
    template <class Call> auto callLink(Call &&call);
    void tellChanged() const
    {
        if (m_onChanged)
            m_onChanged();
    }

    Endpoint m_endpoints[2];
    std::string m_shownNames[2];
    std::string m_name;
    int m_commPort = 1;
    int m_event = 0;
    std::string m_settings = Settings19200;
    TrafficLog *m_log = nullptr;
    std::function<void()> m_onChanged;
    std::unique_ptr<ByteLink> m_link;
    // Counts the links made, one per open.
    unsigned m_generation = 0;
    // What the link has received, taken at once so that a reply the line brought just before it was lost
    // is still read after it.
    std::string m_arrived;
    // One arrival waits to be told at a time; bytes that come meanwhile are read with it.
    bool m_arrivalWaiting = false;
    // The link is lost, or its connection failed, and the handlers have not been told yet.
    bool m_lossWaiting = false;
};
