#include "engine_objects.h"

#include <new>

namespace lumicap::virt {

bool IsVideoStream(DWORD stream)
{
    return stream == 0 || stream == MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_VIDEO_PREVIEW ||
           stream == MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_VIDEO_RECORD ||
           stream == MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_PHOTO;
}

HRESULT AddSinkStream(std::vector<SinkStream>& streams, DWORD sourceStream, IMFMediaType* mediaType,
                      DWORD* sinkStream)
{
    if (!mediaType) return E_INVALIDARG;
    if (!IsVideoStream(sourceStream)) return MF_E_INVALIDSTREAMNUMBER;
    try {
        streams.push_back(SinkStream{sourceStream, ComPtr<IMFMediaType>::Share(mediaType)});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (sinkStream) *sinkStream = static_cast<DWORD>(streams.size() - 1);
    return S_OK;
}

}  // namespace lumicap::virt
