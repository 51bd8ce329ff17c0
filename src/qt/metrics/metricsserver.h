#pragma once

#include "qt/http/httpserver.h"
#include "qt/metrics/prometheussink.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>

// The fleet's metrics served at /metrics on the console's one HTTP server, which serves the other pages
// routes beside it. The text is rendered on the
// event loop's thread once the values have changed, at most once a RenderPause, and handed to the
// server's thread whole, so a scrape never waits on the event loop and the event loop never waits on a
// scraper.
class MetricsServer
{
public:
    static constexpr std::string_view Path = "/metrics";
    static constexpr std::string_view ContentType = "text/plain; version=0.0.4; charset=utf-8";
    // A fleet's values change all the time and a large fleet's text takes tens of milliseconds: a scrape
    // sees values at most this old.
    static constexpr std::chrono::milliseconds RenderPause{1000};

    // Serves the sink's values at once, beside the routes of the console's other pages; throws
    // std::runtime_error with one line in the console's words when the address cannot be bound.
    MetricsServer(const HostPort &address, PrometheusSink &sink, std::vector<HttpRoute> routes = {});
    ~MetricsServer();
    MetricsServer(const MetricsServer &) = delete;
    MetricsServer &operator=(const MetricsServer &) = delete;

    // The port taken.
    std::uint16_t port() const { return m_http.address().port; }
    // Where a scraper finds the metrics: http://HOST:PORT/metrics, with the port taken.
    std::string url() const;
    // http://HOST:PORT, where the page and the API are, with the port taken.
    std::string origin() const { return m_http.origin(); }

private:
    // A render as soon as the last one is RenderPause old.
    void renderSoon();
    // The values as the next scrapes see them.
    void render();
    HttpResponse answer() const;

    PrometheusSink &m_sink;
    // Ties the deferred render to this server's life.
    QObject m_context;
    // When the values were last rendered after a change.
    std::chrono::steady_clock::time_point m_lastRender;
    mutable std::mutex m_textMutex;
    std::shared_ptr<const std::string> m_text;
    // Last, so that the server's thread has stopped before the text goes.
    HttpServer m_http;
};
