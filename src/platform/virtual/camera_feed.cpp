#include "test_pattern_source.h"
#include "virtual_platform.h"
#include "platform/capture_engine/camera_backend.h"
#include "platform/media_foundation/activation.h"
#include "platform/no_throw.h"

#include <new>

namespace lumicap::virt {

HRESULT OpenCameraFeed(IUnknown* activate, CameraFeed* feed)
{
    std::shared_ptr<CameraRecord> camera = CameraFromActivate(activate);
    if (!camera) return E_INVALIDARG;
    CameraFeed opened;
    std::shared_ptr<VirtualControls> controls;
    HRESULT hr = NoThrow([&] { controls = std::make_shared<VirtualControls>(camera->HasControls()); });
    if (FAILED(hr)) return hr;
    hr = CaptureSource::Create(camera, controls, opened.source.Put());
    if (FAILED(hr)) return hr;
    opened.condition = CameraConditionOf(camera->Description().friendlyName);
    opened.frames.reset(new (std::nothrow) TestPatternSource(std::move(camera), std::move(controls)));
    if (!opened.frames) return E_OUTOFMEMORY;
    *feed = std::move(opened);
    return S_OK;
}

}  // namespace lumicap::virt
