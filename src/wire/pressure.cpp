#include "wire/pressure.h"

#include "wire/numberreading.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// The conversion from reading to hPa, applied in this order.
constexpr int ReadingScale = 5;
constexpr double ReadingDivisor = 1024;
constexpr double ReadingOffset = 0.204;
constexpr double ReadingPerHectopascal = 0.00459;
constexpr double HectopascalBase = 150;
constexpr std::string_view PressureUnit = " hPa";

using WorkingValue = std::int16_t;
constexpr int WorkingMax = std::numeric_limits<WorkingValue>::max();
constexpr int WorkingMin = std::numeric_limits<WorkingValue>::min();

// The range test is also the overflow check of the fivefold product.
static_assert(PressureReadingMax * ReadingScale <= WorkingMax);
static_assert((PressureReadingMax + 1) * ReadingScale > WorkingMax);
static_assert(PressureReadingMin * ReadingScale >= WorkingMin);
static_assert((PressureReadingMin - 1) * ReadingScale < WorkingMin);

// Halves go to the even neighbour, whatever the floating-point rounding mode is.
double roundHalfEven(double value)
{
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction < 0.5)
        return below;
    if (fraction > 0.5)
        return below + 1;
    return std::fmod(below, 2) == 0 ? below : below + 1;
}

} // namespace

std::optional<int> pressureHectopascals(std::string_view trace)
{
    const double rounded = roundHalfEven(readNumber(trace));
    // Written so that NaN fails it as well.
    if (!(rounded >= PressureReadingMin && rounded <= PressureReadingMax))
        return std::nullopt;

    const auto reading = static_cast<WorkingValue>(rounded);
    const auto product = static_cast<WorkingValue>(reading * ReadingScale);
    const double hectopascals =
        (product / ReadingDivisor - ReadingOffset) / ReadingPerHectopascal + HectopascalBase;
    // Within the reading range the result lies between about -6865 and 7077, so it fits the working value.
    const auto working = static_cast<WorkingValue>(roundHalfEven(hectopascals));
    return working;
}

std::string decodePressure(std::string_view trace)
{
    const std::optional<int> hectopascals = pressureHectopascals(trace);
    if (!hectopascals)
        return std::string(PressureOutOfRangeText);
    return std::to_string(*hectopascals) + std::string(PressureUnit);
}
