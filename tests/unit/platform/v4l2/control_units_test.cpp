#include "platform/v4l2/control_units.h"

#include <gtest/gtest.h>

namespace lumicap::v4l2 {
namespace {

// A typical UVC camera: exposure 0.3 ms to 0.5 s (default 15.6 ms), pan ±10° in steps of 1°.
const DriverRange kExposure{3, 5000, 1, 156};
const DriverRange kPan{-36000, 36000, 3600, 0};

TEST(ControlUnits, ExposureRangeKeepsOnlyLog2SecondsThatFitTheDriversRange)
{
    const virt::DeviceControlRange range = RangeIn(ControlUnit::hundredMicroseconds, kExposure);
    EXPECT_EQ(range.minimum, -11);  // 2^-11 s = 0.49 ms; 2^-12 s would be below 0.3 ms
    EXPECT_EQ(range.maximum, -1);   // 0.5 s
    EXPECT_EQ(range.step, 1);
    EXPECT_EQ(range.defaultValue, -6);  // 15.6 ms
    EXPECT_EQ(FromDirectShow(ControlUnit::hundredMicroseconds, range.minimum, kExposure), 5);
    EXPECT_EQ(FromDirectShow(ControlUnit::hundredMicroseconds, -6, kExposure), 156);
    EXPECT_EQ(FromDirectShow(ControlUnit::hundredMicroseconds, 3, kExposure), 5000);  // 8 s, clamped
    EXPECT_EQ(ToDirectShow(ControlUnit::hundredMicroseconds, 312), -5);
}

TEST(ControlUnits, PanAndTiltAreDegreesOfTheDriversArcSeconds)
{
    const virt::DeviceControlRange range = RangeIn(ControlUnit::arcSeconds, kPan);
    EXPECT_EQ(range.minimum, -10);
    EXPECT_EQ(range.maximum, 10);
    EXPECT_EQ(range.step, 1);
    EXPECT_EQ(range.defaultValue, 0);
    EXPECT_EQ(FromDirectShow(ControlUnit::arcSeconds, -7, kPan), -25200);
    EXPECT_EQ(ToDirectShow(ControlUnit::arcSeconds, -25200), -7);
    // A range that is not whole degrees keeps the degrees inside it.
    const virt::DeviceControlRange odd = RangeIn(ControlUnit::arcSeconds, {-5400, 5400, 1, 0});
    EXPECT_EQ(odd.minimum, -1);
    EXPECT_EQ(odd.maximum, 1);
}

TEST(ControlUnits, OtherControlsKeepTheDriversNumbers)
{
    const virt::DeviceControlRange range = RangeIn(ControlUnit::same, {-128, 127, 0, 0});
    EXPECT_EQ(range.minimum, -128);
    EXPECT_EQ(range.maximum, 127);
    EXPECT_EQ(range.step, 1);  // a driver reporting no step takes every value
    EXPECT_EQ(FromDirectShow(ControlUnit::same, 300, {0, 255, 1, 128}), 255);
}

}  // namespace
}  // namespace lumicap::v4l2
