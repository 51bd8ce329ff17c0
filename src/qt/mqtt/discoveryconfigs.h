#pragma once

#include <string>
#include <utility>
#include <vector>

#include <QByteArray>

// Home Assistant's discovery configs for one projector: a sensor per value of the queries asked, a
// button per one-shot press key, its power as a switch and its input as a select when their queries are
// asked, each with its config topic under prefix and its JSON payload. Only keys
// Home Assistant documents for each component, in their abbreviated form.
std::vector<std::pair<std::string, QByteArray>> discoveryConfigs(const std::string &prefix,
                                                                 const std::string &base,
                                                                 const std::string &projector,
                                                                 const std::vector<std::string> &queries);
