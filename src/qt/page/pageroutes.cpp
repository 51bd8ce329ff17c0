#include "qt/page/pageroutes.h"

#include <array>
#include <string_view>

#include <QFile>

namespace {
// A path of the page, the resource it serves and the resource's type.
struct PageFile
{
    std::string_view path;
    const char *resource;
    std::string_view type;
};

constexpr std::array<PageFile, 4> Files = {{
    {"/", ":/page/index.html", "text/html; charset=utf-8"},
    {"/page.css", ":/page/page.css", "text/css; charset=utf-8"},
    {"/page.js", ":/page/page.js", "text/javascript; charset=utf-8"},
    {"/icon.svg", ":/page/icon.svg", "image/svg+xml"},
}};

// Nothing but the console's own files and API: no inline script or style, no frame around the page, no
// form sent elsewhere.
const std::vector<std::pair<std::string, std::string>> Headers = {
    {"Content-Security-Policy", "default-src 'self'; base-uri 'none'; form-action 'none'; "
                                "frame-ancestors 'none'; object-src 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"Cache-Control", "no-cache"},
};

std::shared_ptr<const std::string> contentOf(const char *resource)
{
    QFile file(QString::fromLatin1(resource));
    if (!file.open(QIODevice::ReadOnly))
        return std::make_shared<const std::string>();
    return std::make_shared<const std::string>(file.readAll().toStdString());
}
} // namespace

std::vector<HttpRoute> pageRoutes()
{
    std::vector<HttpRoute> routes;
    for (const PageFile &file : Files) {
        HttpResponse response{200, std::string(file.type), contentOf(file.resource), Headers, {}};
        routes.push_back({std::string(file.path),
                          {"GET", "HEAD"},
                          [response](const HttpRequest &, const HttpReply &reply) { reply(response); }});
    }
    return routes;
}
