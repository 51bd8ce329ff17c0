#pragma once

#include <optional>
#include <string>
#include <string_view>

// Readings whose fivefold product still fits in 16 bits; outside them no figure can be computed.
constexpr int PressureReadingMin = -6553;
constexpr int PressureReadingMax = 6553;

// Shown instead of a figure when the rounded reading lies outside PressureReadingMin..PressureReadingMax.
constexpr std::string_view PressureOutOfRangeText = " Pressure reading out of range";

// The pressure in hPa for a pressure reply's trace; nullopt when the rounded reading lies outside
// PressureReadingMin..PressureReadingMax.
std::optional<int> pressureHectopascals(std::string_view trace);

// Label22's text for a pressure reply's trace: "1013 hPa", or a text of its own when out of range.
std::string decodePressure(std::string_view trace);
