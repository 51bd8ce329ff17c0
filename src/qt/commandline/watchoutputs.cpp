#include "qt/commandline/watchoutputs.h"

#include "qt/api/fleetapi.h"
#include "qt/lend/lendservice.h"
#include "qt/metrics/metricsexporter.h"
#include "qt/mqtt/mqttbridge.h"
#include "qt/page/pageroutes.h"
#include "qt/pjlink/pjlinkservice.h"

std::vector<std::unique_ptr<FleetObserver>> watchOutputs(const ConsoleOptions &options, FleetWatch &fleet,
                                                         const WatchNotice &notice, const WatchEnd &end)
{
    std::vector<std::unique_ptr<FleetObserver>> outputs;
    if (options.http) {
        auto api = std::make_unique<FleetApi>(
            options.api, [&fleet](const std::string &projector, std::string text, const std::string &from) {
                return fleet.command(projector, std::move(text), from);
            });
        std::vector<HttpRoute> routes = api->routes();
        for (HttpRoute &route : pageRoutes())
            routes.push_back(std::move(route));
        auto exporter = std::make_unique<MetricsExporter>(*options.http, std::move(routes));
        notice("metrics on " + exporter->server().url() + ", the fleet's page and API on " +
               exporter->server().origin() + "/");
        outputs.push_back(std::move(api));
        outputs.push_back(std::move(exporter));
    }
    outputs.push_back(std::make_unique<PjlinkService>(
        fleet.projectors(), options.pjlinkPassword,
        [&fleet](const std::string &projector, std::string text, const std::string &from) {
            return fleet.command(projector, std::move(text), from);
        },
        notice));
    outputs.push_back(std::make_unique<LendService>(fleet, notice));
    if (options.mqtt.enabled)
        outputs.push_back(std::make_unique<MqttBridge>(
            options.mqtt, options.queries,
            [&fleet](const std::string &projector, std::string text) {
                return fleet.command(projector, std::move(text), "mqtt");
            },
            notice, [end](const std::string &error) { end(ExitCode::PortFailed, error); }));
    return outputs;
}
