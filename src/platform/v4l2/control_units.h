// DirectShow's units for a V4L2 control whose driver counts differently: pan and tilt in arc seconds
// (DirectShow: degrees), exposure in 100 µs (DirectShow: log2 seconds).
#pragma once

#include "platform/capture_engine/device_controls.h"

#include <cstdint>

namespace lumicap::v4l2 {

enum class ControlUnit { same, arcSeconds, hundredMicroseconds };

// What VIDIOC_QUERY_EXT_CTRL says of a control's values.
struct DriverRange {
    int64_t minimum = 0;
    int64_t maximum = 0;
    uint64_t step = 1;
    int64_t defaultValue = 0;
};

LONG ToDirectShow(ControlUnit unit, int64_t value);
// The driver's value nearest to the DirectShow one, inside the driver's range.
int64_t FromDirectShow(ControlUnit unit, LONG value, const DriverRange& range);
// The range in DirectShow's units: only the values that convert back inside the driver's range (the
// caller adds the flags).
virt::DeviceControlRange RangeIn(ControlUnit unit, const DriverRange& range);

}  // namespace lumicap::v4l2
