// MFEnumDeviceSources: an activation object per plugged camera.
#include "activation.h"
#include "media_type.h"
#include "platform/capture_engine/camera_backend.h"
#include "platform/no_throw.h"

namespace lumicap::virt {
namespace {

HRESULT ReadSourceType(IMFAttributes* attributes, GUID* sourceType)
{
    return FAILED(GetGUIDQuietly(attributes, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, sourceType)) ? E_INVALIDARG : S_OK;
}

void ReleaseAll(IMFActivate** activates, UINT32 count)
{
    for (UINT32 i = 0; i < count; ++i) activates[i]->Release();
    CoTaskMemFree(activates);
}

// One fresh activation per record, in a task-memory array that holds one reference per entry.
HRESULT MakeActivations(const std::vector<std::shared_ptr<CameraRecord>>& cameras, IMFActivate*** activates,
                        UINT32* count)
{
    if (cameras.empty()) return S_OK;
    auto** array = static_cast<IMFActivate**>(CoTaskMemAlloc(cameras.size() * sizeof(IMFActivate*)));
    if (!array) return E_OUTOFMEMORY;
    for (UINT32 i = 0; i < cameras.size(); ++i) {
        const HRESULT hr = CreateActivation(cameras[i], &array[i]);
        if (FAILED(hr)) {
            ReleaseAll(array, i);
            return hr;
        }
    }
    *activates = array;
    *count = static_cast<UINT32>(cameras.size());
    return S_OK;
}

}  // namespace
}  // namespace lumicap::virt

namespace lumicap::platform {

HRESULT MFEnumDeviceSources(IMFAttributes* attributes, IMFActivate*** sourceActivate, UINT32* count)
{
    if (sourceActivate) *sourceActivate = nullptr;
    if (count) *count = 0;
    HRESULT hr = virt::CheckFault(virt::operation::kMFEnumDeviceSources);
    if (FAILED(hr)) return hr;
    if (!attributes || !sourceActivate || !count) return E_POINTER;
    GUID sourceType = GUID_NULL;
    hr = virt::ReadSourceType(attributes, &sourceType);
    // Only video capture devices exist here; any other kind lists none.
    if (FAILED(hr) || sourceType != MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID) return hr;
    return NoThrow([&]() -> HRESULT {
        return virt::MakeActivations(virt::PluggedCameras(), sourceActivate, count);
    });
}

}  // namespace lumicap::platform
