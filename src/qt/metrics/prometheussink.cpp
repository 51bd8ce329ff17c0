#include "qt/metrics/prometheussink.h"

#include <prometheus/text_serializer.h>
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
    changed();
}

void PrometheusSink::add(const MetricFamily &counter, const MetricLabels &labels, double amount)
{
    m_counters.at(counter.name)->Add(labels).Increment(amount);
    changed();
}

void PrometheusSink::remove(const MetricFamily &gauge, const MetricLabels &labels)
{
    prometheus::Family<prometheus::Gauge> *family = m_gauges.at(gauge.name);
    if (!family->Has(labels))
        return;
    family->Remove(&family->Add(labels));
    changed();
}

namespace {
// Removes every series of the family whose projector label is this.
template <class Metric> void removeSeriesOf(prometheus::Family<Metric> &family, const std::string &projector)
{
    for (const prometheus::MetricFamily &collected : family.Collect()) {
        for (const prometheus::ClientMetric &series : collected.metric) {
            MetricLabels labels;
            for (const prometheus::ClientMetric::Label &label : series.label)
                labels.emplace(label.name, label.value);
            if (const auto named = labels.find(std::string(MetricLabel::Projector));
                named != labels.end() && named->second == projector)
                family.Remove(&family.Add(labels));
        }
    }
}
} // namespace

void PrometheusSink::removeProjector(const std::string &projector)
{
    for (const auto &[name, family] : m_gauges)
        removeSeriesOf(*family, projector);
    for (const auto &[name, family] : m_counters)
        removeSeriesOf(*family, projector);
    changed();
}

std::string PrometheusSink::render()
{
    m_dirty = false;
    return prometheus::TextSerializer().Serialize(m_registry->Collect());
}

void PrometheusSink::changed()
{
    if (m_dirty)
        return;
    m_dirty = true;
    if (m_onChange)
        m_onChange();
}
