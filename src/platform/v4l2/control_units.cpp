#include "platform/v4l2/control_units.h"

#include <algorithm>
#include <cmath>

namespace lumicap::v4l2 {
namespace {

constexpr double kSecondsPerUnit = 1e-4;
constexpr int64_t kArcSecondsPerDegree = 3600;

LONG FloorDiv(int64_t value, int64_t by) { return static_cast<LONG>(value >= 0 ? value / by : -((-value + by - 1) / by)); }
LONG CeilDiv(int64_t value, int64_t by) { return -FloorDiv(-value, by); }

double Log2Seconds(int64_t units) { return std::log2(std::max<int64_t>(units, 1) * kSecondsPerUnit); }

}  // namespace

LONG ToDirectShow(ControlUnit unit, int64_t value)
{
    switch (unit) {
    case ControlUnit::arcSeconds:
        return static_cast<LONG>(std::lround(static_cast<double>(value) / kArcSecondsPerDegree));
    case ControlUnit::hundredMicroseconds:
        return static_cast<LONG>(std::lround(Log2Seconds(value)));
    default:
        return static_cast<LONG>(value);
    }
}

int64_t FromDirectShow(ControlUnit unit, LONG value, const DriverRange& query)
{
    int64_t converted = value;
    if (unit == ControlUnit::arcSeconds) converted = static_cast<int64_t>(value) * kArcSecondsPerDegree;
    if (unit == ControlUnit::hundredMicroseconds) converted = std::llround(std::exp2(value) / kSecondsPerUnit);
    return std::clamp<int64_t>(converted, query.minimum, query.maximum);
}

virt::DeviceControlRange RangeIn(ControlUnit unit, const DriverRange& query)
{
    virt::DeviceControlRange range;
    range.defaultValue = ToDirectShow(unit, query.defaultValue);
    if (unit == ControlUnit::arcSeconds) {
        range.minimum = CeilDiv(query.minimum, kArcSecondsPerDegree);
        range.maximum = FloorDiv(query.maximum, kArcSecondsPerDegree);
        range.step = std::max<LONG>(1, static_cast<LONG>(query.step / kArcSecondsPerDegree));
    } else if (unit == ControlUnit::hundredMicroseconds) {
        range.minimum = static_cast<LONG>(std::ceil(Log2Seconds(query.minimum)));
        range.maximum = static_cast<LONG>(std::floor(Log2Seconds(query.maximum)));
        range.step = 1;
    } else {
        range.minimum = static_cast<LONG>(query.minimum);
        range.maximum = static_cast<LONG>(query.maximum);
        range.step = static_cast<LONG>(std::max<uint64_t>(1, query.step));
    }
    range.defaultValue = std::clamp(range.defaultValue, range.minimum, std::max(range.minimum, range.maximum));
    return range;
}

}  // namespace lumicap::v4l2
