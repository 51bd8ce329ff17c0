#include "qt/metrics/prometheussink.h"

#include <string>

PrometheusSink::PrometheusSink()
{
    for (const MetricFamily *family : metricFamilies()) {
        const std::string name(family->name);
        const std::string help(family->help);
        if (family->type == MetricFamily::Type::Counter)
            m_counters[family->name] =
                &prometheus::BuildCounter().Name(name).Help(help).Register(*m_registry);
        else
            m_gauges[family->name] = &prometheus::BuildGauge().Name(name).Help(help).Register(*m_registry);
    }
}

void PrometheusSink::set(const MetricFamily &gauge, const MetricLabels &labels, double value)
{
    m_gauges.at(gauge.name)->Add(labels).Set(value);
}

void PrometheusSink::add(const MetricFamily &counter, const MetricLabels &labels, double amount)
{
    m_counters.at(counter.name)->Add(labels).Increment(amount);
}

void PrometheusSink::remove(const MetricFamily &gauge, const MetricLabels &labels)
{
    prometheus::Family<prometheus::Gauge> *family = m_gauges.at(gauge.name);
    if (family->Has(labels))
        family->Remove(&family->Add(labels));
}
