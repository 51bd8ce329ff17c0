#include "httpget.h"

#include <QElapsedTimer>
#include <QTcpSocket>

namespace {
constexpr int WaitMs = 10000;
constexpr QByteArrayView LineEnd = "\r\n";
constexpr QByteArrayView HeaderEnd = "\r\n\r\n";
} // namespace

HttpAnswer httpGet(std::uint16_t port, const QByteArray &pathAndQuery, const QHostAddress &server,
                   const QHostAddress &from)
{
    QElapsedTimer timer;
    timer.start();
    QTcpSocket socket;
    if (!from.isNull() && !socket.bind(from))
        return {};
    socket.connectToHost(server, port);
    if (!socket.waitForConnected(WaitMs))
        return {};
    socket.write("GET " + pathAndQuery + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray answer;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(WaitMs))
        answer += socket.readAll();
    answer += socket.readAll();
    const qsizetype headerEnd = answer.indexOf(HeaderEnd);
    HttpAnswer result;
    result.statusLine = answer.left(answer.indexOf(LineEnd));
    result.body = headerEnd < 0 ? QByteArray() : answer.mid(headerEnd + HeaderEnd.size());
    result.elapsedMs = timer.elapsed();
    return result;
}
