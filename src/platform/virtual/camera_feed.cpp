#include "test_pattern_source.h"
#include "virtual_platform.h"
#include "platform/capture_engine/camera_backend.h"
#include "platform/media_foundation/activation.h"

#include <new>

namespace lumicap::virt {

HRESULT OpenCameraFeed(IUnknown* activate, CameraFeed* feed)
{
    std::shared_ptr<CameraRecord> camera = CameraFromActivate(activate);
    if (!camera) return E_INVALIDARG;
    CameraFeed opened;
    HRESULT hr = CaptureSource::Create(camera, opened.source.Put());
    if (FAILED(hr)) return hr;
    opened.condition = CameraConditionOf(camera->Description().friendlyName);
    opened.frames.reset(new (std::nothrow) TestPatternSource(std::move(camera)));
    if (!opened.frames) return E_OUTOFMEMORY;
    *feed = std::move(opened);
    return S_OK;
}

}  // namespace lumicap::virt
