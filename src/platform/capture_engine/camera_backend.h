// What a camera backend (the virtual cameras, or real devices) gives the capture engine and device
// enumeration: the cameras plugged in now, and for a camera an engine opens, where its frames come
// from. Each backend defines these two functions; the engine sees nothing else of it.
#pragma once

#include "camera_record.h"
#include "engine_objects.h"
#include "frame_source.h"

#include <memory>
#include <vector>

namespace lumicap::virt {

// The cameras device enumeration lists, in its order.
std::vector<std::shared_ptr<CameraRecord>> PluggedCameras();

struct CameraFeed {
    std::unique_ptr<FrameSource> frames;
    ComPtr<CaptureSource> source;
    CameraCondition condition = CameraCondition::normal;
};

// The feed of the camera behind an activation object made by MFEnumDeviceSources; E_INVALIDARG for
// any other object.
HRESULT OpenCameraFeed(IUnknown* activate, CameraFeed* feed);

}  // namespace lumicap::virt
