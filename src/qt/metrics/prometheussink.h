#pragma once

#include "metrics/metricssink.h"

#include <map>
#include <memory>
#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>
#include <string_view>

// The fleet's metrics in a prometheus-cpp registry, every family of metricFamilies() registered at
// once. The registry is thread-safe: the event loop's thread sets values while the HTTP server's
// threads read them.
class PrometheusSink : public MetricsSink
{
public:
    PrometheusSink();

    void set(const MetricFamily &gauge, const MetricLabels &labels, double value) override;
    void add(const MetricFamily &counter, const MetricLabels &labels, double amount) override;
    void remove(const MetricFamily &gauge, const MetricLabels &labels) override;

    // What the HTTP server collects from.
    std::shared_ptr<prometheus::Registry> registry() const { return m_registry; }

private:
    std::shared_ptr<prometheus::Registry> m_registry = std::make_shared<prometheus::Registry>();
    std::map<std::string_view, prometheus::Family<prometheus::Gauge> *> m_gauges;
    std::map<std::string_view, prometheus::Family<prometheus::Counter> *> m_counters;
};
