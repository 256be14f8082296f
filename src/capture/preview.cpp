#include "capture_manager.h"

#include "capture_control.h"
#include "preview_frames.h"
#include "preview_options.h"
#include "interface/log.h"
#include "interface/module_state.h"

#include <cstdint>

namespace lumicap {
namespace {

// How long StopPreview waits, from a thread other than the one that hands the engine's messages to
// the library, for the engine to confirm. That thread keeps pumping, so the wait normally ends at once.
constexpr DWORD kStopWaitMilliseconds = 5000;

// The chosen type: the one at mediaTypeIndex among stream 0's types. The walk ends at the first fetch
// that fails, whose result is returned.
HRESULT ChooseDeviceType(IMFCaptureSource* source, INT32 mediaTypeIndex, ComPtr<IMFMediaType>& chosen)
{
    for (DWORD index = 0;; ++index) {
        HRESULT hr = source->GetAvailableDeviceMediaType(0, index, chosen.Put());
        if (FAILED(hr)) return hr;
        if (!chosen) return E_POINTER;
        if (static_cast<int64_t>(index) == mediaTypeIndex) return hr;
    }
}

}  // namespace

HRESULT CopyMediaTypeItem(IMFMediaType* from, IMFMediaType* to, REFGUID key)
{
    PROPVARIANT value{};
    HRESULT hr = from->GetItem(key, &value);
    if (FAILED(hr)) return hr;
    hr = to->SetItem(key, value);
    PropVariantClear(&value);
    return hr;
}

HRESULT MakeRgb32PreviewType(IMFMediaType* source, IMFMediaType** previewType)
{
    ComPtr<IMFMediaType> type;
    HRESULT hr = platform::MFCreateMediaType(type.Put());
    if (SUCCEEDED(hr)) hr = type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
    if (SUCCEEDED(hr)) hr = type->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_RGB32);
    for (const GUID* key : {&MF_MT_FRAME_SIZE, &MF_MT_FRAME_RATE, &MF_MT_PIXEL_ASPECT_RATIO, &MF_MT_INTERLACE_MODE}) {
        if (SUCCEEDED(hr)) hr = CopyMediaTypeItem(source, type.Get(), *key);
    }
    if (SUCCEEDED(hr)) *previewType = type.Detach();
    return hr;
}

namespace {

// The host's frames are read as they lie in the sample's buffer: top row first, rows packed. Without
// a stride of its own an RGB32 type leaves the sink free to deliver the rows bottom-up.
HRESULT AskForTopDownRows(IMFMediaType* type)
{
    UINT64 size = 0;
    HRESULT hr = type->GetUINT64(MF_MT_FRAME_SIZE, &size);
    const UINT64 stride = (size >> 32) * 4;
    if (SUCCEEDED(hr) && stride > INT32_MAX) hr = MF_E_INVALIDMEDIATYPE;
    if (SUCCEEDED(hr)) hr = type->SetUINT32(MF_MT_DEFAULT_STRIDE, static_cast<UINT32>(stride));
    return hr;
}

}  // namespace

HRESULT CaptureManager::BeginPreview(HWND window, INT32 mediaTypeIndex)
{
    if (!engine) return MF_E_NOT_INITIALIZED;
    if (isPreviewing) return S_OK;
    previewWindow = window;

    // Once the sink exists, the window and format it was given stay for the engine set-up's lifetime.
    const bool configuring = !previewSink;
    HRESULT hr = configuring ? ConfigurePreview(mediaTypeIndex) : S_OK;
    if (SUCCEEDED(hr) && configuring) hr = ApplyPreviewOptions(*this);
    if (SUCCEEDED(hr)) hr = engine->StartPreview();
    if (SUCCEEDED(hr)) isPreviewing = true;
    return hr;
}

HRESULT CaptureManager::ConfigurePreview(INT32 mediaTypeIndex)
{
    // Kept only once the whole configuration succeeded: a failed one leaves the next start to
    // configure afresh with its own index and window.
    ComPtr<IMFCaptureSink> sink;
    HRESULT hr = engine->GetSink(MF_CAPTURE_ENGINE_SINK_TYPE_PREVIEW, sink.Put());
    if (FAILED(hr)) return hr;
    ComPtr<IMFCapturePreviewSink> configured;
    hr = sink->QueryInterface(IID_IMFCapturePreviewSink, configured.PutVoid());
    if (FAILED(hr)) return hr;
    hr = configured->SetRenderHandle(previewWindow);
    if (FAILED(hr)) return hr;

    ComPtr<IMFCaptureSource> source;
    hr = engine->GetSource(source.Put());
    if (FAILED(hr)) return hr;
    ComPtr<IMFMediaType> currentType;
    hr = source->GetCurrentDeviceMediaType(MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_VIDEO_PREVIEW,
                                           currentType.Put());
    if (FAILED(hr)) return hr;
    // Not handed on: building it proves the current type carries what a preview needs.
    ComPtr<IMFMediaType> currentRgb32Type;
    hr = MakeRgb32PreviewType(currentType.Get(), currentRgb32Type.Put());
    if (FAILED(hr)) return hr;

    ComPtr<IMFMediaType> chosenType;
    hr = ChooseDeviceType(source.Get(), mediaTypeIndex, chosenType);
    if (FAILED(hr)) return hr;
    // The sink converts whatever the camera delivers, so a refused format does not stop the preview.
    source->SetCurrentDeviceMediaType(0, chosenType.Get());
    // The preview sink takes only uncompressed types: it gets an RGB32 copy of the chosen one, which
    // may be MJPG or H.264.
    ComPtr<IMFMediaType> previewType;
    hr = MakeRgb32PreviewType(chosenType.Get(), previewType.Put());
    if (FAILED(hr)) return hr;
    hr = previewType->SetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, TRUE);
    if (SUCCEEDED(hr) && PreviewFramesWanted()) hr = AskForTopDownRows(previewType.Get());
    if (FAILED(hr)) return hr;
    DWORD sinkStreamIndex = 0;
    hr = configured->AddStream(MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_VIDEO_PREVIEW, previewType.Get(),
                               nullptr, &sinkStreamIndex);
    if (SUCCEEDED(hr)) previewSink = std::move(configured);
    return hr;
}

void CaptureManager::DropPreviewConfiguration()
{
    if (!previewSink) return;
    previewSink->RemoveAllStreams();
    previewSink.Reset();
}

void CaptureManager::EndPreview()
{
    if (!engine || !isPreviewing) return;
    if (FAILED(engine->StopPreview())) return;
    WaitForStateChange();
    isPreviewing = false;
}

void CaptureManager::WaitForStateChange()
{
    if (!stateEvent) return;
    // On the thread that hands the engine's messages to OnCaptureEvent, only a signal stored before
    // the wait could end it: blocking there would hang the host, so only a stored signal is taken.
    // Without a live event window (owner 0) no thread will hand the confirmation over at all.
    DWORD owner = GetWindowThreadProcessId(eventWindow, nullptr);
    DWORD timeout = owner == 0 || owner == GetCurrentThreadId() ? 0 : kStopWaitMilliseconds;
    WaitForSingleObject(stateEvent.Get(), timeout);
}

}  // namespace lumicap

namespace lumicap {

HRESULT StartPreview(INT32 mediaTypeIndex, HWND previewWindow)
{
    EmitLog(TEXT("StartPreview media type index: ") + SignedDecimal(mediaTypeIndex));
    CaptureManager* manager = Module().theManager.get();
    if (!manager) return MF_E_NOT_INITIALIZED;
    return manager->BeginPreview(previewWindow, mediaTypeIndex);
}

void StopPreview()
{
    CaptureManager* manager = Module().theManager.get();
    if (!manager) return;
    manager->EndPreview();
    EmitLog(TEXT("StopPreview"));
}

}  // namespace lumicap
