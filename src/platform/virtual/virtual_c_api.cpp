// The C control functions of the virtual build (include/lumicap/lumicap_virtual.h), over the C++
// control API. Nothing may escape into the host, so allocation failures become E_OUTOFMEMORY.
#include "virtual_platform.h"
#include "platform/capture_engine/frame_presenter.h"
#include "platform/guarded_call.h"

#include <lumicap/lumicap_virtual.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <new>

namespace lumicap::virt {
namespace {

WideString Text(LPCWSTR text) { return text ? WideString(text) : WideString(); }

Format ToFormat(const LumicapVirtualFormat& in)
{
    Format format;
    format.width = in.width;
    format.height = in.height;
    format.subtype = in.subtype;
    format.rateNumerator = in.rateNumerator;
    format.rateDenominator = in.rateDenominator;
    return format;
}

HRESULT ToCamera(const LumicapVirtualCamera& in, Camera& camera)
{
    if (in.formatCount != 0 && !in.formats) return E_POINTER;
    camera.friendlyName = Text(in.friendlyName);
    camera.hasFriendlyName = in.friendlyName != nullptr;
    camera.symbolicLink = Text(in.symbolicLink);
    camera.hasSymbolicLink = in.symbolicLink != nullptr;
    camera.category = in.category;
    camera.formats.reserve(in.formatCount);
    std::transform(in.formats, in.formats + in.formatCount, std::back_inserter(camera.formats), ToFormat);
    return S_OK;
}

// Every camera converted, or the first failure and nothing.
HRESULT ToCameras(const LumicapVirtualCamera* in, UINT32 count, std::vector<Camera>& cameras)
{
    if (count != 0 && !in) return E_POINTER;
    cameras.resize(count);
    for (UINT32 i = 0; i < count; ++i) {
        const HRESULT hr = ToCamera(in[i], cameras[i]);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

bool IsOperationName(const char* operation)
{
    const std::vector<std::string> names = OperationNames();
    return std::find(names.begin(), names.end(), operation) != names.end();
}

}  // namespace
}  // namespace lumicap::virt

namespace virt = lumicap::virt;

extern "C" {

LUMICAP_VIRTUAL_API void WINAPI LumicapVirtualReset(void)
{
    lumicap::Guarded([] {
        virt::Reset();
        return S_OK;
    });
}

LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualSetCameras(const LumicapVirtualCamera* cameras, UINT32 count)
{
    return lumicap::Guarded([&] {
        std::vector<virt::Camera> converted;
        const HRESULT hr = virt::ToCameras(cameras, count, converted);
        if (SUCCEEDED(hr)) virt::SetCameras(std::move(converted));
        return hr;
    });
}

LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualAddCamera(const LumicapVirtualCamera* camera)
{
    return lumicap::Guarded([&] {
        if (!camera) return E_POINTER;
        virt::Camera converted;
        const HRESULT hr = virt::ToCamera(*camera, converted);
        if (SUCCEEDED(hr)) virt::AddCamera(std::move(converted));
        return hr;
    });
}

LUMICAP_VIRTUAL_API INT32 WINAPI LumicapVirtualRemoveCamera(LPCWSTR friendlyName)
{
    INT32 removed = 0;
    lumicap::Guarded([&] {
        if (friendlyName) removed = virt::RemoveCamera(virt::Text(friendlyName));
        return S_OK;
    });
    return removed;
}

LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualFailOperation(const char* operation, HRESULT failure, UINT32 nth)
{
    return lumicap::Guarded([&] {
        if (!operation) return E_POINTER;
        if (!FAILED(failure) || !virt::IsOperationName(operation)) return E_INVALIDARG;
        virt::FailOperation(operation, failure, nth);
        return S_OK;
    });
}

LUMICAP_VIRTUAL_API void WINAPI LumicapVirtualClearFaults(void) { virt::ClearFaults(); }

LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualSetCameraCondition(LPCWSTR friendlyName, UINT32 condition)
{
    return lumicap::Guarded([&] {
        if (!friendlyName) return E_POINTER;
        if (condition > LUMICAP_VIRTUAL_CAMERA_DENIED) return E_INVALIDARG;
        const bool known = virt::SetCameraCondition(friendlyName, static_cast<virt::CameraCondition>(condition));
        return known ? S_OK : HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    });
}

LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualRaiseEngineError(HRESULT status)
{
    return lumicap::Guarded([&] { return virt::RaiseEngineError(status) ? S_OK : HRESULT_FROM_WIN32(ERROR_NOT_FOUND); });
}

LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualSetNextEventStatus(const GUID* extendedType, HRESULT status)
{
    return lumicap::Guarded([&] {
        if (!extendedType) return E_POINTER;
        virt::SetNextEventStatus(*extendedType, status);
        return S_OK;
    });
}

LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualSetMicrophoneCondition(UINT32 condition)
{
    if (condition > LUMICAP_VIRTUAL_CAMERA_DENIED) return E_INVALIDARG;
    virt::SetMicrophoneCondition(static_cast<virt::CameraCondition>(condition));
    return S_OK;
}

LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualSetCameraBlocked(LPCWSTR friendlyName, BOOL blocked)
{
    return lumicap::Guarded([&] {
        if (!friendlyName) return E_POINTER;
        return virt::SetCameraBlocked(friendlyName, blocked != FALSE) ? S_OK : HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    });
}

LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualDropNextEvent(const GUID* extendedType)
{
    return lumicap::Guarded([&] {
        if (!extendedType) return E_POINTER;
        virt::DropNextEvent(*extendedType);
        return S_OK;
    });
}

LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualSetPhotoWriteMode(UINT32 mode)
{
    switch (mode) {
    case LUMICAP_VIRTUAL_PHOTO_WRITE_SEQUENTIAL:
    case LUMICAP_VIRTUAL_PHOTO_WRITE_ASYNC:
    case LUMICAP_VIRTUAL_PHOTO_WRITE_PATCHED:
        virt::SetPhotoWriteMode(static_cast<virt::PhotoWriteMode>(mode));
        return S_OK;
    default:
        return E_INVALIDARG;
    }
}

LUMICAP_VIRTUAL_API UINT64 WINAPI LumicapVirtualGetFrameCount(HWND window) { return virt::PresentedFrameCount(window); }

LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualGetLatestFrame(HWND window, UINT32* width, UINT32* height,
                                                                UINT32* pixels, UINT64 capacity)
{
    if (!width || !height) return E_POINTER;
    *width = 0;
    *height = 0;
    const size_t room = pixels ? static_cast<size_t>(std::min<UINT64>(capacity, SIZE_MAX)) : 0;
    if (!virt::LatestPresentedFrame(window, pixels, room, width, height)) return LUMICAP_VIRTUAL_E_NO_FRAME;
    if (pixels && static_cast<UINT64>(*width) * *height > room) return LUMICAP_VIRTUAL_E_BUFFER_TOO_SMALL;
    return S_OK;
}

LUMICAP_VIRTUAL_API HRESULT WINAPI LumicapVirtualSetCameraControls(LPCWSTR friendlyName, BOOL enabled)
{
    return lumicap::Guarded([&] {
        if (!friendlyName) return E_POINTER;
        return virt::SetCameraControls(friendlyName, enabled != FALSE) ? S_OK : HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    });
}

}  // extern "C"
