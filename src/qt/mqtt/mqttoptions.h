#pragma once

#include "mqtt/brokerurl.h"

#include <optional>
#include <string>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QProcessEnvironment>
#include <QString>

// What --mqtt and its companions ask of the fleet watch.
struct MqttOptions
{
    bool enabled = false;
    BrokerUrl url;
    std::string password;
    std::string caFile;
    std::string base;
    std::string discoveryPrefix; // empty: no discovery configs
    bool allowSend = false;
    std::string clientId; // the fleet's own: fleetClientId()
};

// The environment variable that carries the broker's password, kept off the command line where ps shows it.
constexpr char MqttPasswordVariable[] = "TAVO_MQTT_PASSWORD";

// The options, for the parser and --help.
QList<QCommandLineOption> mqttCommandLineOptions();

// Reads them from a parser that took mqttCommandLineOptions(); the reason for a usage error, or nullopt.
// A password file or CA that cannot be read is a usage error too.
std::optional<QString> readMqttOptions(const QCommandLineParser &parser,
                                       const QProcessEnvironment &environment, MqttOptions &options);
