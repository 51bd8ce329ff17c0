#include "qt/mqtt/mqttoptions.h"

#include "mqtt/discovery.h"
#include "mqtt/mqtttopics.h"

#include <stdexcept>

#include <QFile>

namespace {
const QString Mqtt = QStringLiteral("mqtt");
const QString Ca = QStringLiteral("mqtt-ca");
const QString PasswordFile = QStringLiteral("mqtt-password-file");
const QString Topic = QStringLiteral("mqtt-topic");
const QString DiscoveryPrefix = QStringLiteral("mqtt-discovery");
const QString AllowSend = QStringLiteral("mqtt-allow-send");
// A password is one line; more is not a password file.
constexpr qint64 PasswordFileLimit = 4096;

QString inQuotes(const std::string &text)
{
    return QStringLiteral("'%1'").arg(QString::fromStdString(text));
}
} // namespace

QList<QCommandLineOption> mqttCommandLineOptions()
{
    return {
        {Mqtt,
         QStringLiteral(
             "With --fleet and --watch: publish every projector's values and availability to the MQTT "
             "broker at URL (mqtt://[USER@]HOST[:PORT], default port 1883, or mqtts:// for TLS), with "
             "Home Assistant discovery, and take presses from it. The password comes from %1 or "
             "--mqtt-password-file.")
             .arg(QLatin1String(MqttPasswordVariable)),
         QStringLiteral("URL")},
        {Ca,
         QStringLiteral(
             "With an mqtts:// URL: trust the broker's certificate when this CA signed it, instead "
             "of the system's CAs."),
         QStringLiteral("FILE")},
        {PasswordFile, QStringLiteral("With --mqtt: read the broker's password from the first line of FILE."),
         QStringLiteral("FILE")},
        {Topic,
         QStringLiteral("With --mqtt: the base of every topic (default %1).")
             .arg(MqttTopics::DefaultBase.data()),
         QStringLiteral("BASE")},
        {DiscoveryPrefix,
         QStringLiteral(
             "With --mqtt: Home Assistant's discovery prefix (default %1); none sends no discovery "
             "configs.")
             .arg(Discovery::DefaultPrefix.data()),
         QStringLiteral("PREFIX")},
        {AllowSend,
         QStringLiteral("With --mqtt: take free-form commands on BASE/NAME/send. Anyone who may "
                        "publish to the broker can then send any command, service settings included.")},
    };
}

std::optional<QString> readMqttOptions(const QCommandLineParser &parser,
                                       const QProcessEnvironment &environment, MqttOptions &options)
{
    if (!parser.isSet(Mqtt)) {
        for (const QString &companion : {Ca, PasswordFile, Topic, DiscoveryPrefix, AllowSend}) {
            if (parser.isSet(companion))
                return QStringLiteral("--%1 belongs to --mqtt; give --mqtt too").arg(companion);
        }
        return std::nullopt;
    }
    options.enabled = true;
    try {
        options.url = parseBrokerUrl(parser.value(Mqtt).toStdString());
    } catch (const std::invalid_argument &error) {
        return QStringLiteral("--mqtt %1: %2").arg(parser.value(Mqtt), QString::fromStdString(error.what()));
    }
    if (parser.isSet(Ca)) {
        if (!options.url.tls)
            return QStringLiteral("--mqtt-ca is for a broker met over TLS: an mqtts:// URL");
        if (!QFile(parser.value(Ca)).open(QIODevice::ReadOnly))
            return QStringLiteral("--mqtt-ca %1 cannot be read").arg(parser.value(Ca));
        options.caFile = parser.value(Ca).toStdString();
    }
    if (parser.isSet(PasswordFile)) {
        QFile file(parser.value(PasswordFile));
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("--mqtt-password-file %1 cannot be read (%2)")
                .arg(file.fileName(), file.errorString());
        QByteArray line = file.read(PasswordFileLimit);
        // A file written without a final newline (printf secret > file) is the password whole.
        if (const qsizetype end = line.indexOf('\n'); end >= 0)
            line.truncate(end);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            return QStringLiteral("--mqtt-password-file %1 holds no password on its first line")
                .arg(file.fileName());
        options.password = line.toStdString();
    } else if (environment.contains(QLatin1String(MqttPasswordVariable))) {
        options.password = environment.value(QLatin1String(MqttPasswordVariable)).toStdString();
    }
    if (!options.password.empty() && options.url.user.empty())
        return QStringLiteral("a password needs a user: --mqtt mqtt://USER@HOST");
    options.base =
        parser.isSet(Topic) ? parser.value(Topic).toStdString() : std::string(MqttTopics::DefaultBase);
    if (const auto problem = topicBaseProblem(options.base))
        return QStringLiteral("--mqtt-topic %1 %2")
            .arg(inQuotes(options.base), QString::fromStdString(*problem));
    const std::string prefix = parser.isSet(DiscoveryPrefix) ? parser.value(DiscoveryPrefix).toStdString()
                                                             : std::string(Discovery::DefaultPrefix);
    if (prefix != Discovery::Off) {
        if (const auto problem = topicBaseProblem(prefix))
            return QStringLiteral("--mqtt-discovery %1 %2")
                .arg(inQuotes(prefix), QString::fromStdString(*problem));
        options.discoveryPrefix = prefix;
    }
    options.allowSend = parser.isSet(AllowSend);
    return std::nullopt;
}
