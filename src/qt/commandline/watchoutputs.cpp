#include "qt/commandline/watchoutputs.h"

#include "qt/metrics/metricsexporter.h"

#include <cstdio>

std::vector<std::unique_ptr<FleetObserver>> watchOutputs(const ConsoleOptions &options, FleetWatch &)
{
    std::vector<std::unique_ptr<FleetObserver>> outputs;
    if (options.metrics) {
        auto exporter = std::make_unique<MetricsExporter>(*options.metrics);
        std::fprintf(stderr, "tavo-console: metrics on %s\n", exporter->server().url().c_str());
        outputs.push_back(std::move(exporter));
    }
    return outputs;
}
