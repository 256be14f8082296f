#include "engine_objects.h"
#include "platform/media_foundation/media_type.h"

namespace lumicap::virt {

HRESULT PreviewSink::RemoveAllStreams()
{
    std::vector<SinkStream> removed;
    std::lock_guard<std::mutex> lock(mutex_);
    removed.swap(streams_);
    return S_OK;
}

HRESULT PreviewSink::SetRenderHandle(HANDLE handle)
{
    const HRESULT hr = CheckFault(operation::kPreviewSetRenderHandle);
    if (FAILED(hr)) return hr;
    std::lock_guard<std::mutex> lock(mutex_);
    renderHandle_ = handle;
    return S_OK;
}

HRESULT PreviewSink::SetRenderSurface(IUnknown*) { return E_NOTIMPL; }
HRESULT PreviewSink::UpdateVideo(const MFVideoNormalizedRect*, const RECT*, const COLORREF*) { return E_NOTIMPL; }
HRESULT PreviewSink::SetSampleCallback(DWORD, IMFCaptureEngineOnSampleCallback*) { return E_NOTIMPL; }
HRESULT PreviewSink::GetMirrorState(BOOL*) { return E_NOTIMPL; }
HRESULT PreviewSink::SetMirrorState(BOOL) { return E_NOTIMPL; }
HRESULT PreviewSink::GetRotation(DWORD, DWORD*) { return E_NOTIMPL; }
HRESULT PreviewSink::SetRotation(DWORD, DWORD) { return E_NOTIMPL; }
HRESULT PreviewSink::SetCustomSink(IMFMediaSink*) { return E_NOTIMPL; }

HRESULT PreviewSink::CheckStreamType(IMFMediaType* mediaType)
{
    GUID subtype = GUID_NULL;
    if (FAILED(GetGUIDQuietly(mediaType, MF_MT_SUBTYPE, &subtype))) return S_OK;
    return subtype == MFVideoFormat_MJPG || subtype == MFVideoFormat_H264 ? MF_E_INVALIDMEDIATYPE : S_OK;
}

HANDLE PreviewSink::RenderHandle() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return renderHandle_;
}

PreviewSinkState PreviewSink::State() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    PreviewSinkState state;
    state.exists = true;
    state.renderHandle = renderHandle_;
    state.streams = streams_;
    return state;
}

}  // namespace lumicap::virt
