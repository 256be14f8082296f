// The camera controls by name, as the example hosts show and take them.
#pragma once

#include <lumicap/lumicap.h>

#include <cstring>

namespace lumicap_examples {

struct NamedControl {
    INT32 control;
    const char* name;
};

inline constexpr NamedControl kCameraControls[] = {
    {LUMICAP_CONTROL_BRIGHTNESS, "brightness"},
    {LUMICAP_CONTROL_CONTRAST, "contrast"},
    {LUMICAP_CONTROL_HUE, "hue"},
    {LUMICAP_CONTROL_SATURATION, "saturation"},
    {LUMICAP_CONTROL_SHARPNESS, "sharpness"},
    {LUMICAP_CONTROL_GAMMA, "gamma"},
    {LUMICAP_CONTROL_COLOR_ENABLE, "color-enable"},
    {LUMICAP_CONTROL_WHITE_BALANCE, "white-balance"},
    {LUMICAP_CONTROL_BACKLIGHT_COMPENSATION, "backlight-compensation"},
    {LUMICAP_CONTROL_GAIN, "gain"},
    {LUMICAP_CONTROL_PAN, "pan"},
    {LUMICAP_CONTROL_TILT, "tilt"},
    {LUMICAP_CONTROL_ROLL, "roll"},
    {LUMICAP_CONTROL_ZOOM, "zoom"},
    {LUMICAP_CONTROL_EXPOSURE, "exposure"},
    {LUMICAP_CONTROL_IRIS, "iris"},
    {LUMICAP_CONTROL_FOCUS, "focus"},
};

// The control of that name; -1 for none.
inline INT32 ControlNamed(const char* name)
{
    for (const NamedControl& named : kCameraControls) {
        if (std::strcmp(named.name, name) == 0) return named.control;
    }
    return -1;
}

}  // namespace lumicap_examples
