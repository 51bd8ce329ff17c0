#pragma once

#include <cstdint>

#include <QByteArray>
#include <QHostAddress>

// The whole answer to one HTTP GET on a plain socket, as a scraper sends it: to 127.0.0.1 unless told,
// from the address told (any loopback one) or the system's choice.
struct HttpAnswer
{
    QByteArray statusLine; // "HTTP/1.1 200 OK"; empty when nothing came
    QByteArray body;
    qint64 elapsedMs = -1; // from the connect to the end of the answer
};

HttpAnswer httpGet(std::uint16_t port, const QByteArray &pathAndQuery,
                   const QHostAddress &server = QHostAddress(QHostAddress::LocalHost),
                   const QHostAddress &from = QHostAddress());
