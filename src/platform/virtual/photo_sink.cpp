#include "engine_objects.h"

#include <new>

namespace lumicap::virt {

HRESULT PhotoSink::Create(PhotoSink** sink)
{
    *sink = new (std::nothrow) PhotoSink();
    return *sink ? S_OK : E_OUTOFMEMORY;
}

HRESULT PhotoSink::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown) {
        *object = static_cast<IUnknown*>(this);
    } else if (iid == IID_IMFCaptureSink || iid == IID_IMFCapturePhotoSink) {
        const HRESULT hr = CheckFault("IMFCaptureSink::QueryInterface");
        if (FAILED(hr)) return hr;
        *object = static_cast<IMFCapturePhotoSink*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG PhotoSink::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG PhotoSink::Release()
{
    const ULONG remaining = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (remaining == 0) delete this;
    return remaining;
}

HRESULT PhotoSink::GetOutputMediaType(DWORD, IMFMediaType**) { return E_NOTIMPL; }
HRESULT PhotoSink::GetService(DWORD, REFGUID, REFIID, IUnknown**) { return E_NOTIMPL; }

HRESULT PhotoSink::AddStream(DWORD sourceStream, IMFMediaType* mediaType, IMFAttributes*, DWORD* sinkStream)
{
    const HRESULT hr = CheckFault("IMFCapturePhotoSink::AddStream");
    if (FAILED(hr)) return hr;
    std::lock_guard<std::mutex> lock(mutex_);
    return AddSinkStream(streams_, sourceStream, mediaType, sinkStream);
}

HRESULT PhotoSink::Prepare() { return E_NOTIMPL; }

HRESULT PhotoSink::RemoveAllStreams()
{
    const HRESULT hr = CheckFault("IMFCapturePhotoSink::RemoveAllStreams");
    if (FAILED(hr)) return hr;
    // Released outside the lock: the last reference may run foreign code.
    std::vector<SinkStream> removed;
    ComPtr<IMFByteStream> output;
    std::lock_guard<std::mutex> lock(mutex_);
    removed.swap(streams_);
    output = std::move(output_);
    ++removeAllStreamsCalls_;
    return S_OK;
}

HRESULT PhotoSink::SetOutputFileName(LPCWSTR) { return E_NOTIMPL; }
HRESULT PhotoSink::SetSampleCallback(IMFCaptureEngineOnSampleCallback*) { return E_NOTIMPL; }

HRESULT PhotoSink::SetOutputByteStream(IMFByteStream* byteStream)
{
    const HRESULT hr = CheckFault("IMFCapturePhotoSink::SetOutputByteStream");
    if (FAILED(hr)) return hr;
    if (!byteStream) return E_POINTER;
    ComPtr<IMFByteStream> replaced = ComPtr<IMFByteStream>::Share(byteStream);
    std::lock_guard<std::mutex> lock(mutex_);
    std::swap(replaced, output_);
    return S_OK;
}

bool PhotoSink::HasStream() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return !streams_.empty();
}

bool PhotoSink::HasOutput() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<bool>(output_);
}

ComPtr<IMFMediaType> PhotoSink::StreamType() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return streams_.empty() ? nullptr : streams_.front().mediaType;
}

ComPtr<IMFByteStream> PhotoSink::Output() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return output_;
}

void PhotoSink::DropOutput()
{
    ComPtr<IMFByteStream> dropped;
    std::lock_guard<std::mutex> lock(mutex_);
    dropped = std::move(output_);
}

PhotoSinkState PhotoSink::State() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    PhotoSinkState state;
    state.exists = true;
    state.streams = streams_;
    state.outputByteStream = output_;
    state.removeAllStreamsCalls = removeAllStreamsCalls_;
    return state;
}

}  // namespace lumicap::virt
