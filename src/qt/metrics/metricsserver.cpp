#include "qt/metrics/metricsserver.h"

#include <algorithm>

#include <QTimer>

namespace {
std::vector<HttpRoute> withMetrics(std::vector<HttpRoute> routes, HttpRoute metrics)
{
    routes.push_back(std::move(metrics));
    return routes;
}
} // namespace

MetricsServer::MetricsServer(const HostPort &address, PrometheusSink &sink, std::vector<HttpRoute> routes)
    : m_sink(sink), m_text(std::make_shared<const std::string>(sink.render())),
      m_http(address, withMetrics(std::move(routes),
                                  {std::string(Path),
                                   {"GET", "HEAD"},
                                   [this](const HttpRequest &, const HttpReply &reply) { reply(answer()); }}))
{
    m_sink.setOnChange([this] { renderSoon(); });
}

MetricsServer::~MetricsServer()
{
    m_sink.setOnChange({});
}

std::string MetricsServer::url() const
{
    return m_http.origin() + std::string(Path);
}

void MetricsServer::renderSoon()
{
    // One render for every change made until then, however many values they set.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_lastRender + RenderPause -
                                                                   std::chrono::steady_clock::now());
    QTimer::singleShot(std::max(wait, std::chrono::milliseconds(0)), &m_context, [this] { render(); });
}

void MetricsServer::render()
{
    m_lastRender = std::chrono::steady_clock::now();
    auto text = std::make_shared<const std::string>(m_sink.render());
    const std::lock_guard lock(m_textMutex);
    m_text = std::move(text);
}

HttpResponse MetricsServer::answer() const
{
    const std::lock_guard lock(m_textMutex);
    return {200, std::string(ContentType), m_text, {}, {}};
}
