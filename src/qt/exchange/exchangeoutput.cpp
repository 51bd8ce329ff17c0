#include "qt/exchange/exchangeoutput.h"

#include "wire/oneline.h"
#include "wire/printable.h"

#include <cmath>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
constexpr double TenthsPerMillisecond = 10.0;

// In double quotes; a quote or backslash is escaped, a byte outside printable ASCII shows as \xHH.
QByteArray quoted(const std::string &bytes)
{
    std::string escaped;
    for (const char byte : bytes) {
        if (byte == '"' || byte == '\\')
            escaped.push_back('\\');
        escaped.push_back(byte);
    }
    return '"' + QByteArray::fromStdString(printable(escaped)) + '"';
}

QString latin1(const std::string &bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Names and messages (a path among them) as the file system has them, in valid UTF-8.
QString utf8(const std::string &bytes)
{
    return QString::fromStdString(utf8Text(bytes));
}

QJsonValue jsonValue(const StatusValue &value)
{
    struct ToJson
    {
        QJsonValue operator()(std::monostate) const { return QJsonValue::Null; }
        QJsonValue operator()(const std::string &text) const { return latin1(text); }
        QJsonValue operator()(double number) const { return number; }
        QJsonValue operator()(const std::vector<double> &numbers) const
        {
            QJsonArray array;
            for (const double number : numbers)
                array.append(number);
            return array;
        }
    };
    return std::visit(ToJson{}, value);
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}
} // namespace

QByteArray exchangeText(const Exchange &exchange, const std::string &time, const std::string &projector)
{
    QByteArray line = quoted(exchange.sent) + ' ' + quoted(exchange.trace);
    if (!time.empty())
        line.prepend(QByteArray::fromStdString(time) + ' ');
    if (!projector.empty())
        line.prepend(QByteArray::fromStdString(projector) + ' ');
    if (exchange.status)
        line += ' ' + quoted(*exchange.status);
    if (exchange.cut > 0)
        line += " (" + QByteArray::number(qulonglong(exchange.cut)) + " bytes cut)";
    if (exchange.refused)
        line += " refused";
    if (exchange.misfit)
        line += " misfit";
    return line + '\n';
}

QByteArray exchangeJson(const Exchange &exchange, const std::string &time, const std::string &projector)
{
    QJsonObject object{
        {QStringLiteral("sent"), latin1(exchange.sent)},
        {QStringLiteral("reply"), latin1(exchange.reply)},
        {QStringLiteral("trace"), latin1(exchange.trace)},
        {QStringLiteral("answered"), exchange.answered},
        {QStringLiteral("refused"), exchange.refused},
        {QStringLiteral("misfit"), exchange.misfit},
        {QStringLiteral("port"), utf8(exchange.port)},
        {QStringLiteral("cut"), qint64(exchange.cut)},
        {QStringLiteral("ms"),
         std::round(exchange.time.count() * TenthsPerMillisecond) / TenthsPerMillisecond},
    };
    if (exchange.status)
        object.insert(QStringLiteral("status"), latin1(*exchange.status));
    if (exchange.value)
        object.insert(QStringLiteral("value"), jsonValue(*exchange.value));
    if (!time.empty())
        object.insert(QStringLiteral("time"), latin1(time));
    if (!projector.empty())
        object.insert(QStringLiteral("projector"), latin1(projector));
    return compact(object);
}

QByteArray valueJson(const StatusValue &value)
{
    // A document holds an object or an array: the value is written as an array's one element.
    const QByteArray array = QJsonDocument(QJsonArray{jsonValue(value)}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray lineJson(const std::string &time, const std::string &port, const std::string &line,
                    const std::string &reason, const std::string &projector)
{
    QJsonObject object{
        {QStringLiteral("time"), latin1(time)},
        {QStringLiteral("port"), utf8(port)},
        {QStringLiteral("line"), latin1(line)},
        {QStringLiteral("reason"), utf8(reason)},
    };
    if (!projector.empty())
        object.insert(QStringLiteral("projector"), latin1(projector));
    return compact(object);
}

QByteArray pressJson(const std::string &time, const std::string &projector, const std::string &from,
                     const PressOutcome &outcome)
{
    QJsonObject object{
        {QStringLiteral("time"), latin1(time)},
        {QStringLiteral("projector"), latin1(projector)},
        {QStringLiteral("press"), latin1(outcome.text)},
        {QStringLiteral("from"), latin1(from)},
        {QStringLiteral("outcome"), latin1(std::string(outcomeName(outcome.kind)))},
    };
    if (!outcome.detail.empty())
        object.insert(QStringLiteral("detail"), utf8(outcome.detail));
    return compact(object);
}

QByteArray lentJson(const std::string &time, const std::string &projector, const std::string &to)
{
    return compact({
        {QStringLiteral("time"), latin1(time)},
        {QStringLiteral("projector"), latin1(projector)},
        {QStringLiteral("lent"), to.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(latin1(to))},
    });
}

QByteArray failureJson(const std::string &error, const std::string &port, int exitCode)
{
    return compact(QJsonObject{
        {QStringLiteral("error"), utf8(error)},
        {QStringLiteral("port"), utf8(port)},
        {QStringLiteral("exit"), exitCode},
    });
}
