#include "qt/commandline/exchangeoutput.h"

#include <cmath>

#include <QJsonDocument>
#include <QJsonObject>

namespace {
constexpr double TenthsPerMillisecond = 10.0;

// In double quotes; a quote or backslash is escaped, a byte outside printable ASCII shows as \xNN.
QByteArray quoted(const std::string &bytes)
{
    QByteArray out("\"");
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (byte == '"' || byte == '\\')
            out.append('\\').append(byte);
        else if (code < 0x20 || code >= 0x7F)
            out.append("\\x").append(QByteArray::number(code, 16).rightJustified(2, '0').toUpper());
        else
            out.append(byte);
    }
    return out.append('"');
}

QString latin1(const std::string &bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
} // namespace

QByteArray exchangeText(const Exchange &exchange)
{
    QByteArray line = quoted(exchange.sent) + ' ' + quoted(exchange.trace);
    if (exchange.status)
        line += ' ' + quoted(*exchange.status);
    if (exchange.cut > 0)
        line += " (" + QByteArray::number(qulonglong(exchange.cut)) + " bytes cut)";
    return line + '\n';
}

QByteArray exchangeJson(const Exchange &exchange)
{
    QJsonObject object{
        {QStringLiteral("sent"), latin1(exchange.sent)},
        {QStringLiteral("reply"), latin1(exchange.reply)},
        {QStringLiteral("trace"), latin1(exchange.trace)},
        {QStringLiteral("answered"), exchange.answered},
        {QStringLiteral("cut"), qint64(exchange.cut)},
        {QStringLiteral("ms"),
         std::round(exchange.time.count() * TenthsPerMillisecond) / TenthsPerMillisecond},
    };
    if (exchange.status)
        object.insert(QStringLiteral("status"), latin1(*exchange.status));
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}
