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
// Only the destination is taken: the whole frame is always shown, with black bars. With no
// destination the call asks for a repaint, which the next frame brings.
HRESULT PreviewSink::UpdateVideo(const MFVideoNormalizedRect*, const RECT* destination, const COLORREF*)
{
    if (!destination) return S_OK;
    if (destination->right < destination->left || destination->bottom < destination->top) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    presentation_.hasDestination = true;
    presentation_.destination = *destination;
    return S_OK;
}

HRESULT PreviewSink::SetSampleCallback(DWORD sinkStream, IMFCaptureEngineOnSampleCallback* callback)
{
    const HRESULT hr = CheckFault(operation::kPreviewSetSampleCallback);
    if (FAILED(hr)) return hr;
    std::lock_guard<std::mutex> lock(mutex_);
    if (sinkStream >= streams_.size()) return MF_E_INVALIDSTREAMNUMBER;
    presentation_.sampleCallback = ComPtr<IMFCaptureEngineOnSampleCallback>::Share(callback);
    return S_OK;
}

HRESULT PreviewSink::GetMirrorState(BOOL* mirrored)
{
    if (!mirrored) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    *mirrored = presentation_.mirrored ? TRUE : FALSE;
    return S_OK;
}

HRESULT PreviewSink::SetMirrorState(BOOL mirrored)
{
    const HRESULT hr = CheckFault(operation::kPreviewSetMirrorState);
    if (FAILED(hr)) return hr;
    std::lock_guard<std::mutex> lock(mutex_);
    presentation_.mirrored = mirrored != FALSE;
    return S_OK;
}
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

PreviewPresentation PreviewSink::Presentation() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return presentation_;
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
