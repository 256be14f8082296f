// A V4L2 camera's controls as the device source offers them: each DirectShow control mapped to the
// driver's control (and its automatic switch), in DirectShow's units. The node is opened for each
// call, so the controls work whether or not the preview streams; a control the driver lists as
// disabled is not offered.
#pragma once

#include "platform/capture_engine/device_controls.h"

#include <string>

namespace lumicap::v4l2 {

class NodeControls final : public virt::DeviceControls {
public:
    explicit NodeControls(std::string path) : path_(std::move(path)) {}

    HRESULT GetRange(LONG control, virt::DeviceControlRange* range) override;
    HRESULT Get(LONG control, LONG* value, LONG* flags) override;
    HRESULT Set(LONG control, LONG value, LONG flags) override;

private:
    const std::string path_;
};

}  // namespace lumicap::v4l2
