// The controls of a virtual camera: the default set (brightness, contrast, hue, saturation, gain,
// zoom, exposure and focus) or none, as its set-up opened it. Values live as long as the set-up; the
// test pattern reads the picture's adjustments from here for every frame it draws.
#pragma once

#include "platform/capture_engine/device_controls.h"

#include <mutex>
#include <vector>

namespace lumicap::virt {

// What the picture controls ask of a frame, in the controls' own units.
struct PictureAdjustment {
    LONG brightness = 0;  // added to each channel, times two
    LONG contrast = 100;  // percent, around mid-grey
    LONG hue = 0;         // degrees the colours turn
    LONG saturation = 100;  // percent of the colour kept
    LONG zoom = 100;      // percent magnification about the centre

    bool ChangesColours() const;
};

class VirtualControls final : public DeviceControls {
public:
    // The default set when withControls holds, else none.
    explicit VirtualControls(bool withControls);

    HRESULT GetRange(LONG control, DeviceControlRange* range) override;
    HRESULT Get(LONG control, LONG* value, LONG* flags) override;
    HRESULT Set(LONG control, LONG value, LONG flags) override;

    PictureAdjustment Adjustment() const;

private:
    struct Control {
        LONG number;
        DeviceControlRange range;
        LONG value;
        bool automatic;
    };

    Control* Find(LONG control);
    LONG ValueOf(LONG control) const;

    mutable std::mutex mutex_;
    std::vector<Control> controls_;
};

}  // namespace lumicap::virt
