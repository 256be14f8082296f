#include "engine_objects.h"
#include "platform/media_foundation/media_type.h"

#include "platform/no_throw.h"

#include <new>

namespace lumicap::virt {

bool IsVideoStream(DWORD stream)
{
    return stream == 0 || stream == MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_VIDEO_PREVIEW ||
           stream == MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_VIDEO_RECORD ||
           stream == MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_PHOTO;
}

template <typename Derived, typename Interface>
HRESULT CaptureSink<Derived, Interface>::Create(Derived** sink)
{
    *sink = new (std::nothrow) Derived();
    return *sink ? S_OK : E_OUTOFMEMORY;
}

template <typename Derived, typename Interface>
const QITAB* CaptureSink<Derived, Interface>::Interfaces()
{
    static const QITAB table[] = {
        {&Derived::OwnInterface(), OFFSETOFCLASS(Interface, Derived)},
        QITABENT(Derived, IMFCaptureSink),
        {nullptr, 0},
    };
    return table;
}

// Asking for IMFCaptureSink or the sink's own interface is an operation a fault can be injected into.
template <typename Derived, typename Interface>
HRESULT CaptureSink<Derived, Interface>::QueryInterface(REFIID iid, void** object)
{
    if (object && (iid == IID_IMFCaptureSink || iid == Derived::OwnInterface())) {
        *object = nullptr;
        const HRESULT hr = CheckFault(operation::kSinkQueryInterface);
        if (FAILED(hr)) return hr;
    }
    return VirtualComObject<Derived, Interface>::QueryInterface(iid, object);
}

template <typename Derived, typename Interface>
HRESULT CaptureSink<Derived, Interface>::GetOutputMediaType(DWORD sinkStream, IMFMediaType** mediaType)
{
    if (!mediaType) return E_POINTER;
    *mediaType = nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    if (sinkStream >= streams_.size()) return MF_E_INVALIDSTREAMNUMBER;
    // A copy: the type the stream was added with stays the caller's.
    return CloneMediaTypeQuietly(streams_[sinkStream].mediaType.Get(), mediaType);
}

template <typename Derived, typename Interface>
HRESULT CaptureSink<Derived, Interface>::GetService(DWORD, REFGUID, REFIID, IUnknown**)
{
    return E_NOTIMPL;
}

template <typename Derived, typename Interface>
HRESULT CaptureSink<Derived, Interface>::AddStream(DWORD sourceStream, IMFMediaType* mediaType, IMFAttributes*,
                                                   DWORD* sinkStream)
{
    const HRESULT hr = CheckFault(addStreamOperation_);
    if (FAILED(hr)) return hr;
    if (!mediaType) return E_INVALIDARG;
    if (!IsVideoStream(sourceStream)) return MF_E_INVALIDSTREAMNUMBER;
    const HRESULT accepted = Derived::CheckStreamType(mediaType);
    if (FAILED(accepted)) return accepted;
    std::lock_guard<std::mutex> lock(mutex_);
    const HRESULT added = PushBackNoThrow(streams_, SinkStream{sourceStream, ComPtr<IMFMediaType>::Share(mediaType)});
    if (FAILED(added)) return added;
    if (sinkStream) *sinkStream = static_cast<DWORD>(streams_.size() - 1);
    return S_OK;
}

template <typename Derived, typename Interface>
HRESULT CaptureSink<Derived, Interface>::Prepare()
{
    return E_NOTIMPL;
}

template <typename Derived, typename Interface>
bool CaptureSink<Derived, Interface>::HasStream() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return !streams_.empty();
}

template <typename Derived, typename Interface>
ComPtr<IMFMediaType> CaptureSink<Derived, Interface>::StreamType() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return streams_.empty() ? nullptr : streams_.front().mediaType;
}

template class CaptureSink<PreviewSink, IMFCapturePreviewSink>;
template class CaptureSink<PhotoSink, IMFCapturePhotoSink>;

}  // namespace lumicap::virt
