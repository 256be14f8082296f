#include "capture_manager.h"

#include "capture_control.h"
#include "interface/log.h"
#include "interface/module_state.h"
#include "stream/memory_byte_stream.h"

#include <climits>
#include <cstdlib>

namespace lumicap {

HRESULT MakeJpegPhotoType(IMFMediaType* source, IMFMediaType** photoType)
{
    *photoType = nullptr;
    ComPtr<IMFMediaType> type;
    HRESULT hr = platform::MFCreateMediaType(type.Put());
    if (SUCCEEDED(hr)) hr = type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Image);
    if (SUCCEEDED(hr)) hr = type->SetGUID(MF_MT_SUBTYPE, GUID_ContainerFormatJpeg);
    if (SUCCEEDED(hr)) hr = CopyMediaTypeItem(source, type.Get(), MF_MT_FRAME_SIZE);
    if (SUCCEEDED(hr)) *photoType = type.Detach();
    return hr;
}

HRESULT CaptureManager::CapturePhoto()
{
    if (!engine) return MF_E_NOT_INITIALIZED;

    ComPtr<IMFCaptureSink> sink;
    HRESULT hr = engine->GetSink(MF_CAPTURE_ENGINE_SINK_TYPE_PHOTO, sink.Put());
    if (FAILED(hr)) return hr;
    ComPtr<IMFCapturePhotoSink> photoSink;
    hr = sink->QueryInterface(IID_IMFCapturePhotoSink, photoSink.PutVoid());
    if (FAILED(hr)) return hr;
    ComPtr<IMFCaptureSource> source;
    hr = engine->GetSource(source.Put());
    if (FAILED(hr)) return hr;
    ComPtr<IMFMediaType> sourceType;
    hr = source->GetCurrentDeviceMediaType(MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_PHOTO, sourceType.Put());
    if (FAILED(hr)) return hr;
    ComPtr<IMFMediaType> photoType;
    hr = MakeJpegPhotoType(sourceType.Get(), photoType.Put());
    if (FAILED(hr)) return hr;

    hr = photoSink->RemoveAllStreams();
    if (FAILED(hr)) return hr;
    DWORD sinkStreamIndex = 0;
    hr = photoSink->AddStream(MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_PHOTO, photoType.Get(), nullptr,
                              &sinkStreamIndex);
    if (FAILED(hr)) return hr;

    // From here on the previous photo is gone, whatever happens to this request.
    photoStream = MemoryIMFByteStream::Create();
    if (!photoStream) return E_OUTOFMEMORY;
    hr = photoSink->SetOutputByteStream(photoStream.Get());
    if (FAILED(hr)) return hr;
    hr = engine->TakePhoto();
    if (FAILED(hr)) return hr;
    isPhotoPending = true;
    if (eventWindow) photoDeadline.Arm(eventWindow);
    return S_OK;
}

bool CaptureManager::PhotoPending()
{
    if (isPhotoPending && photoDeadline.Expired()) {
        isPhotoPending = false;
        photoDeadline.Disarm();
    }
    return isPhotoPending;
}

void TakePhotoAsync()
{
    CaptureManager* manager = Module().theManager.get();
    if (!manager) return;
    if (manager->PhotoPending()) {
        EmitLog(TEXT("TakePhoto, already pending..."));
        return;
    }
    if (!manager->isPreviewing) return;
    const HRESULT hr = manager->CapturePhoto();
    // No WM_CAMERA_PHOTO_READY will come for a refused request: a host waiting for one hears why.
    if (FAILED(hr) && manager->eventWindow) PostMessageW(manager->eventWindow, WM_CAMERA_ERROR, LUMICAP_ERROR_PHOTO, static_cast<LPARAM>(hr));
    EmitLog(TEXT("TakePhoto"));
}

void GetLastPhoto(BYTE** photo, INT32* size)
{
    if (size) *size = 0;
    ModuleState& module = Module();
    CaptureManager* manager = module.theManager.get();
    // Without both out values, or without a stream to read, there is nothing to hand out.
    if (!photo || !size || !manager || !manager->photoStream) return;

    ComPtr<MemoryIMFByteStream> stream = manager->photoStream;
    QWORD length = 0;
    stream->GetLength(&length);
    if (length > static_cast<QWORD>(INT_MAX)) return;

    BYTE* block = static_cast<BYTE*>(std::malloc(static_cast<size_t>(length)));
    *photo = block;
    module.lastPhotoBuffer = block;
    if (!block) return;
    ULONG read = 0;
    stream->ReadFromStart(block, static_cast<ULONG>(length), &read);
    // Never report bytes that were not copied.
    *size = static_cast<INT32>(read);
}

void FreePhotoMemory()
{
    ModuleState& module = Module();
    std::free(module.lastPhotoBuffer);
    module.lastPhotoBuffer = nullptr;
}

}  // namespace lumicap
