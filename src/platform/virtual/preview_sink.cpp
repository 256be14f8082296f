#include "engine_objects.h"

#include <new>

namespace lumicap::virt {

HRESULT PreviewSink::Create(PreviewSink** sink)
{
    *sink = new (std::nothrow) PreviewSink();
    return *sink ? S_OK : E_OUTOFMEMORY;
}

HRESULT PreviewSink::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown) {
        *object = static_cast<IUnknown*>(this);
    } else if (iid == IID_IMFCaptureSink || iid == IID_IMFCapturePreviewSink) {
        const HRESULT hr = CheckFault("IMFCaptureSink::QueryInterface");
        if (FAILED(hr)) return hr;
        *object = static_cast<IMFCapturePreviewSink*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG PreviewSink::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG PreviewSink::Release()
{
    const ULONG remaining = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (remaining == 0) delete this;
    return remaining;
}

HRESULT PreviewSink::GetOutputMediaType(DWORD, IMFMediaType**) { return E_NOTIMPL; }
HRESULT PreviewSink::GetService(DWORD, REFGUID, REFIID, IUnknown**) { return E_NOTIMPL; }

HRESULT PreviewSink::AddStream(DWORD sourceStream, IMFMediaType* mediaType, IMFAttributes*, DWORD* sinkStream)
{
    const HRESULT hr = CheckFault("IMFCapturePreviewSink::AddStream");
    if (FAILED(hr)) return hr;
    std::lock_guard<std::mutex> lock(mutex_);
    return AddSinkStream(streams_, sourceStream, mediaType, sinkStream);
}

HRESULT PreviewSink::Prepare() { return E_NOTIMPL; }

HRESULT PreviewSink::RemoveAllStreams()
{
    std::vector<SinkStream> removed;
    std::lock_guard<std::mutex> lock(mutex_);
    removed.swap(streams_);
    return S_OK;
}

HRESULT PreviewSink::SetRenderHandle(HANDLE handle)
{
    const HRESULT hr = CheckFault("IMFCapturePreviewSink::SetRenderHandle");
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

bool PreviewSink::HasStream() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return !streams_.empty();
}

HANDLE PreviewSink::RenderHandle() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return renderHandle_;
}

ComPtr<IMFMediaType> PreviewSink::StreamType() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return streams_.empty() ? nullptr : streams_.front().mediaType;
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
