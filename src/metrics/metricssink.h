#pragma once

#include "metrics/metricfamilies.h"

#include <map>
#include <string>

// A series' labels, `projector` among them.
using MetricLabels = std::map<std::string, std::string>;

// Where a fleet's metrics are kept for whoever reads them; called on the event loop's thread, it keeps
// the values and returns at once.
class MetricsSink
{
public:
    virtual ~MetricsSink() = default;
    // A gauge's series takes this value, and exists from now on.
    virtual void set(const MetricFamily &gauge, const MetricLabels &labels, double value) = 0;
    // A counter's series grows by amount (0 makes it exist).
    virtual void add(const MetricFamily &counter, const MetricLabels &labels, double amount) = 0;
    // The series is gone until it is set again.
    virtual void remove(const MetricFamily &gauge, const MetricLabels &labels) = 0;
    // Every series whose label `projector` is this, in every family, is gone.
    virtual void removeProjector(const std::string &projector) = 0;
};
