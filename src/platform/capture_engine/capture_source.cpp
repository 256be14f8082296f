#include "engine_objects.h"
#include "device_source.h"
#include "platform/media_foundation/media_type.h"

#include <new>
#include <optional>

namespace lumicap::virt {
namespace {

// What makes a device media type one of the camera's formats: its frame size and subtype, each of
// which may be absent.
struct FormatKey {
    std::optional<UINT64> frameSize;
    std::optional<GUID> subtype;
};

FormatKey KeyOf(const Format& format)
{
    FormatKey key;
    if (format.hasFrameSize) key.frameSize = (static_cast<UINT64>(format.width) << 32) | format.height;
    if (format.hasSubtype) key.subtype = format.subtype;
    return key;
}

FormatKey KeyOf(IMFMediaType* mediaType)
{
    FormatKey key;
    UINT64 frameSize = 0;
    if (SUCCEEDED(GetUINT64Quietly(mediaType, MF_MT_FRAME_SIZE, &frameSize))) key.frameSize = frameSize;
    GUID subtype = GUID_NULL;
    if (SUCCEEDED(GetGUIDQuietly(mediaType, MF_MT_SUBTYPE, &subtype))) key.subtype = subtype;
    return key;
}

bool operator==(const FormatKey& a, const FormatKey& b)
{
    return a.frameSize == b.frameSize && a.subtype.has_value() == b.subtype.has_value() &&
           (!a.subtype || *a.subtype == *b.subtype);
}

}  // namespace

HRESULT CaptureSource::Create(std::shared_ptr<CameraRecord> camera, std::shared_ptr<DeviceControls> controls,
                              CaptureSource** source)
{
    *source = nullptr;
    ComPtr<IMFMediaType> first[2];
    const std::vector<Format>* streams[2] = {&camera->Description().formats, &camera->Description().photoFormats};
    for (int device = 0; device < 2; ++device) {
        if (streams[device]->empty()) continue;
        const HRESULT hr = CreateFormatMediaType(streams[device]->front(), first[device].Put());
        if (FAILED(hr)) return hr;
    }
    CaptureSource* created = new (std::nothrow) CaptureSource(std::move(camera), std::move(controls));
    if (!created) return E_OUTOFMEMORY;
    created->current_[0] = std::move(first[0]);
    created->current_[1] = std::move(first[1]);
    *source = created;
    return S_OK;
}

bool CaptureSource::HasPhotoStream() const { return !camera_->Description().photoFormats.empty(); }

HRESULT CaptureSource::ResolveStream(DWORD stream, DWORD* device) const
{
    if (stream == 1 && HasPhotoStream()) {
        *device = 1;
    } else if (stream == MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_PHOTO) {
        *device = HasPhotoStream() ? 1 : 0;
    } else if (IsVideoStream(stream)) {
        *device = 0;
    } else {
        return MF_E_INVALIDSTREAMNUMBER;
    }
    return S_OK;
}

const std::vector<Format>& CaptureSource::FormatsOf(DWORD device) const
{
    return device == 1 ? camera_->Description().photoFormats : camera_->Description().formats;
}

const QITAB* CaptureSource::Interfaces()
{
    static const QITAB table[] = {QITABENT(CaptureSource, IMFCaptureSource), {nullptr, 0}};
    return table;
}

// A new object each time, as the controls' interfaces are asked afresh for each call.
HRESULT CaptureSource::GetCaptureDeviceSource(MF_CAPTURE_ENGINE_DEVICE_TYPE type, IMFMediaSource** mediaSource)
{
    if (!mediaSource) return E_POINTER;
    *mediaSource = nullptr;
    if (type != MF_CAPTURE_ENGINE_DEVICE_TYPE_VIDEO) return MF_E_INVALIDREQUEST;
    return DeviceSource::Create(controls_, mediaSource);
}
HRESULT CaptureSource::GetCaptureDeviceActivate(MF_CAPTURE_ENGINE_DEVICE_TYPE, IMFActivate**) { return E_NOTIMPL; }
HRESULT CaptureSource::GetService(REFIID, REFIID, IUnknown**) { return E_NOTIMPL; }
HRESULT CaptureSource::AddEffect(DWORD, IUnknown*) { return E_NOTIMPL; }
HRESULT CaptureSource::RemoveEffect(DWORD, IUnknown*) { return E_NOTIMPL; }
HRESULT CaptureSource::RemoveAllEffects(DWORD) { return E_NOTIMPL; }

HRESULT CaptureSource::GetAvailableDeviceMediaType(DWORD stream, DWORD index, IMFMediaType** mediaType)
{
    const HRESULT hr = CheckFault(operation::kSourceGetAvailableDeviceMediaType);
    if (FAILED(hr)) return hr;
    if (!mediaType) return E_POINTER;
    *mediaType = nullptr;
    DWORD device = 0;
    const HRESULT resolved = ResolveStream(stream, &device);
    if (FAILED(resolved)) return resolved;
    const std::vector<Format>& formats = FormatsOf(device);
    if (index >= formats.size()) return MF_E_NO_MORE_TYPES;
    return CreateFormatMediaType(formats[index], mediaType);
}

HRESULT CaptureSource::SetCurrentDeviceMediaType(DWORD stream, IMFMediaType* mediaType)
{
    HRESULT hr = CheckFault(operation::kSourceSetCurrentDeviceMediaType);
    if (FAILED(hr)) return hr;
    DWORD device = 0;
    hr = ResolveStream(stream, &device);
    if (FAILED(hr)) return hr;
    if (!mediaType) return E_POINTER;
    const FormatKey wanted = KeyOf(mediaType);
    bool offered = false;
    for (const Format& format : FormatsOf(device)) {
        if (KeyOf(format) == wanted) {
            offered = true;
            break;
        }
    }
    if (!offered) return MF_E_INVALIDMEDIATYPE;
    ComPtr<IMFMediaType> copy;
    hr = CloneMediaTypeQuietly(mediaType, copy.Put());
    if (FAILED(hr)) return hr;
    std::function<void()> typeSet;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        current_[device] = std::move(copy);
        typeSet = typeSet_;
    }
    // Outside the lock: the engine takes its own, under which it reads the current type.
    if (typeSet) typeSet();
    return S_OK;
}

void CaptureSource::OnTypeSet(std::function<void()> listener)
{
    std::lock_guard<std::mutex> lock(mutex_);
    typeSet_ = std::move(listener);
}

HRESULT CaptureSource::GetCurrentDeviceMediaType(DWORD stream, IMFMediaType** mediaType)
{
    const HRESULT hr = CheckFault(operation::kSourceGetCurrentDeviceMediaType);
    if (FAILED(hr)) return hr;
    if (!mediaType) return E_POINTER;
    *mediaType = nullptr;
    DWORD device = 0;
    const HRESULT resolved = ResolveStream(stream, &device);
    if (FAILED(resolved)) return resolved;
    const ComPtr<IMFMediaType> current = device == 1 ? CurrentPhotoType() : CurrentType();
    if (!current) return MF_E_INVALIDREQUEST;
    return CloneMediaTypeQuietly(current.Get(), mediaType);
}

HRESULT CaptureSource::GetDeviceStreamCount(DWORD* count)
{
    if (!count) return E_POINTER;
    *count = HasPhotoStream() ? 2 : 1;
    return S_OK;
}

HRESULT CaptureSource::GetDeviceStreamCategory(DWORD stream, MF_CAPTURE_ENGINE_STREAM_CATEGORY* category)
{
    if (!category) return E_POINTER;
    DWORD device = 0;
    const HRESULT hr = ResolveStream(stream, &device);
    if (FAILED(hr)) return hr;
    *category = device == 1 ? MF_CAPTURE_ENGINE_STREAM_CATEGORY_PHOTO_INDEPENDENT
                            : MF_CAPTURE_ENGINE_STREAM_CATEGORY_VIDEO_CAPTURE;
    return S_OK;
}

HRESULT CaptureSource::GetMirrorState(DWORD stream, BOOL* mirrored)
{
    if (!mirrored) return E_POINTER;
    DWORD device = 0;
    const HRESULT hr = ResolveStream(stream, &device);
    if (FAILED(hr)) return hr;
    *mirrored = FALSE;
    return S_OK;
}

HRESULT CaptureSource::SetMirrorState(DWORD, BOOL) { return E_NOTIMPL; }

HRESULT CaptureSource::GetStreamIndexFromFriendlyName(UINT32 friendlyName, DWORD* stream)
{
    if (!stream) return E_POINTER;
    return ResolveStream(friendlyName, stream);
}

ComPtr<IMFMediaType> CaptureSource::CurrentType() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return current_[0];
}

ComPtr<IMFMediaType> CaptureSource::CurrentPhotoType() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return current_[HasPhotoStream() ? 1 : 0];
}

}  // namespace lumicap::virt
