#pragma once

#include "metrics/metricssink.h"

#include <functional>
#include <map>
#include <memory>
#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>
#include <string>
#include <string_view>

// The fleet's metrics in a prometheus-cpp registry, every family of metricFamilies() registered at
// once, set and rendered on the event loop's thread alone.
class PrometheusSink : public MetricsSink
{
public:
    PrometheusSink();

    void set(const MetricFamily &gauge, const MetricLabels &labels, double value) override;
    void add(const MetricFamily &counter, const MetricLabels &labels, double amount) override;
    void remove(const MetricFamily &gauge, const MetricLabels &labels) override;
    void removeProjector(const std::string &projector) override;

    // Told once when a value changes after a render, not for every value that follows.
    void setOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }
    // Every series in the Prometheus text format.
    std::string render();

private:
    void changed();

    std::shared_ptr<prometheus::Registry> m_registry = std::make_shared<prometheus::Registry>();
    std::map<std::string_view, prometheus::Family<prometheus::Gauge> *> m_gauges;
    std::map<std::string_view, prometheus::Family<prometheus::Counter> *> m_counters;
    // Set by a change, cleared by a render.
    bool m_dirty = true;
    std::function<void()> m_onChange;
};
