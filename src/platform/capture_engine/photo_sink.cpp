#include "engine_objects.h"

namespace lumicap::virt {

HRESULT PhotoSink::RemoveAllStreams()
{
    const HRESULT hr = CheckFault(operation::kPhotoRemoveAllStreams);
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
    const HRESULT hr = CheckFault(operation::kPhotoSetOutputByteStream);
    if (FAILED(hr)) return hr;
    if (!byteStream) return E_POINTER;
    ComPtr<IMFByteStream> replaced = ComPtr<IMFByteStream>::Share(byteStream);
    std::lock_guard<std::mutex> lock(mutex_);
    std::swap(replaced, output_);
    return S_OK;
}

bool PhotoSink::HasOutput() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<bool>(output_);
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
