#pragma once

#include <cstdint>

#include <QByteArray>

// The whole answer to one HTTP GET on a plain socket to 127.0.0.1, as a scraper sends it.
struct HttpAnswer
{
    QByteArray statusLine; // "HTTP/1.1 200 OK"; empty when nothing came
    QByteArray body;
    qint64 elapsedMs = -1; // from the connect to the end of the answer
};

HttpAnswer httpGet(std::uint16_t port, const QByteArray &pathAndQuery);
