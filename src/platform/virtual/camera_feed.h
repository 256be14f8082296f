// What a capture engine initialised on a camera gets from it. The camera decides where the frames come
// from; the engine sees only this.
#pragma once

#include "engine_objects.h"
#include "frame_source.h"

#include <memory>

namespace lumicap::virt {

struct CameraFeed {
    std::unique_ptr<FrameSource> frames;
    ComPtr<CaptureSource> source;
    CameraCondition condition = CameraCondition::normal;
};

// The feed of the camera behind an activation object made by MFEnumDeviceSources; E_INVALIDARG for
// any other object.
HRESULT OpenCameraFeed(IUnknown* activate, CameraFeed* feed);

}  // namespace lumicap::virt
