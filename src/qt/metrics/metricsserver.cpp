#include "qt/metrics/metricsserver.h"

#include <QTimer>

MetricsServer::MetricsServer(const HostPort &address, PrometheusSink &sink)
    : m_sink(sink), m_text(std::make_shared<const std::string>(sink.render())),
      m_http(address,
             {{std::string(Path), {"GET", "HEAD"}, [this](const HttpRequest &) { return answer(); }}})
{
    // One render for every change made before the event loop next looks, however many values it set.
    m_sink.setOnChange([this] { QTimer::singleShot(0, &m_context, [this] { render(); }); });
}

MetricsServer::~MetricsServer()
{
    m_sink.setOnChange({});
}

std::string MetricsServer::url() const
{
    return m_http.origin() + std::string(Path);
}

void MetricsServer::render()
{
    auto text = std::make_shared<const std::string>(m_sink.render());
    const std::lock_guard lock(m_textMutex);
    m_text = std::move(text);
}

HttpResponse MetricsServer::answer() const
{
    const std::lock_guard lock(m_textMutex);
    return {200, std::string(ContentType), m_text};
}
