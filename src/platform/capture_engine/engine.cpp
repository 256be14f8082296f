#include "engine.h"

#include "camera_backend.h"
#include "engine_picture.h"
#include "engine_registry.h"
#include "jpeg_encoder.h"
#include "late_stop.h"
#include "photo_write_stream.h"
#include "platform/media_foundation/media_event.h"
#include "platform/media_foundation/media_type.h"
#include "platform/no_throw.h"

#include <algorithm>
#include <new>
#include <vector>

namespace lumicap::virt {

HRESULT CaptureEngine::Create(REFIID iid, void** engine)
{
    ComPtr<CaptureEngine> created = ComPtr<CaptureEngine>::Attach(new (std::nothrow) CaptureEngine());
    if (!created) return E_OUTOFMEMORY;
    HRESULT hr = NoThrow([&] { created->renderer_ = std::make_shared<EngineRenderer>(); });
    if (SUCCEEDED(hr)) hr = PreviewSink::Create(created->previewSink_.Put());
    if (SUCCEEDED(hr)) hr = PhotoSink::Create(created->photoSink_.Put());
    if (SUCCEEDED(hr)) hr = RegisterEngine(created.Get());
    if (FAILED(hr)) return hr;
    return created->QueryInterface(iid, engine);
}

CaptureEngine::~CaptureEngine()
{
    UnregisterEngine(this);
    if (relay_) relay_->Detach();
    if (source_) source_->OnTypeSet(nullptr);
    if (frames_) frames_->RemoveLossListener(unplugListener_);
    // No event may arrive once the last Release has returned: the worker ends first.
    worker_.Stop();
    // Released while its preview draws, an engine stops drawing only a little later, on its own
    // thread, and keeps the window till then.
    if (previewing_) {
        StopLater([renderer = renderer_, frames = frames_] { renderer->Stop(); });
    } else if (renderer_) {
        renderer_->Stop();
    }
    if (photoSink_) photoSink_->DropOutput();
    callback_.Reset();
}

const QITAB* CaptureEngine::Interfaces()
{
    static const QITAB table[] = {QITABENT(CaptureEngine, IMFCaptureEngine), {nullptr, 0}};
    return table;
}

HRESULT CaptureEngine::Initialize(IMFCaptureEngineOnEventCallback* callback, IMFAttributes* attributes,
                                  IUnknown* audioSource, IUnknown* videoSource)
{
    HRESULT hr = CheckFault(operation::kEngineInitialize);
    if (FAILED(hr)) return hr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (initialized_) return MF_E_INVALIDREQUEST;
    }
    if (!callback || !videoSource) return E_INVALIDARG;
    // The platform's own objects are asked outside the engine's lock, which unplug notices take.
    CameraFeed feed;
    hr = OpenCameraFeed(videoSource, &feed);
    if (FAILED(hr)) return hr;

    std::lock_guard<std::mutex> lock(mutex_);
    if (initialized_) return MF_E_INVALIDREQUEST;
    hr = worker_.Start([this](const EngineEventData& event) { Deliver(event); });
    if (FAILED(hr)) return hr;
    std::shared_ptr<Relay> relay;
    std::shared_ptr<FrameSource> frames;
    int listener = 0;
    hr = NoThrow([&] {
        relay = std::make_shared<Relay>(this);
        frames = std::move(feed.frames);
        feed.source->OnTypeSet([relay] { relay->Forward(&CaptureEngine::OnTypeSet); });
        listener = frames->AddLossListener([relay] { relay->Forward(&CaptureEngine::OnUnplugged); });
    });
    if (FAILED(hr)) {
        feed.source->OnTypeSet(nullptr);
        return hr;
    }
    // Checked after listening, so an unplug is either seen here or notified.
    const bool plugged = frames->IsPresent();
    condition_ = feed.condition;
    microphone_ = MicrophoneFor(attributes, audioSource);
    hr = worker_.Post([this, plugged] { return ReportInitialized(plugged); });
    if (FAILED(hr)) {
        relay->Detach();
        feed.source->OnTypeSet(nullptr);
        frames->RemoveLossListener(listener);
        return hr;
    }
    callback_ = ComPtr<IMFCaptureEngineOnEventCallback>::Share(callback);
    source_ = std::move(feed.source);
    frames_ = std::move(frames);
    relay_ = std::move(relay);
    unplugListener_ = listener;
    unplugged_ = !plugged;
    initialized_ = true;
    return S_OK;
}

HRESULT CaptureEngine::StartPreview()
{
    const HRESULT hr = CheckFault(operation::kEngineStartPreview);
    if (FAILED(hr)) return hr;
    std::lock_guard<std::mutex> lock(mutex_);
    const HRESULT refusal = RequestRefusal();
    if (FAILED(refusal)) return refusal;
    if (unplugged_) return MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
    if (!previewSink_->HasStream()) return MF_E_INVALIDREQUEST;
    // The device takes a new media type when the pipeline is built for the preview.
    if (typeSetPending_) {
        const HRESULT posted = worker_.Post([] {
            return EngineEventData{MF_CAPTURE_SOURCE_CURRENT_DEVICE_MEDIA_TYPE_SET,
                                   TakeNextEventStatus(MF_CAPTURE_SOURCE_CURRENT_DEVICE_MEDIA_TYPE_SET)};
        });
        if (FAILED(posted)) return posted;
        typeSetPending_ = false;
    }
    return worker_.Post([this] { return BeginPreview(); });
}

HRESULT CaptureEngine::StopPreview()
{
    const HRESULT hr = CheckFault(operation::kEngineStopPreview);
    if (FAILED(hr)) return hr;
    std::lock_guard<std::mutex> lock(mutex_);
    const HRESULT refusal = RequestRefusal();
    if (FAILED(refusal)) return refusal;
    return worker_.Post([this] { return EndPreview(); });
}

HRESULT CaptureEngine::StartRecord()
{
    const HRESULT hr = CheckFault(operation::kEngineStartRecord);
    return FAILED(hr) ? hr : E_NOTIMPL;
}

HRESULT CaptureEngine::StopRecord(BOOL, BOOL)
{
    const HRESULT hr = CheckFault(operation::kEngineStopRecord);
    return FAILED(hr) ? hr : E_NOTIMPL;
}

HRESULT CaptureEngine::TakePhoto()
{
    const HRESULT hr = CheckFault(operation::kEngineTakePhoto);
    if (FAILED(hr)) return hr;
    std::lock_guard<std::mutex> lock(mutex_);
    const HRESULT refusal = RequestRefusal();
    if (FAILED(refusal)) return refusal;
    if (unplugged_) return MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
    if (!photoSink_->HasStream() || !photoSink_->HasOutput()) return MF_E_INVALIDREQUEST;
    return worker_.Post([this] { return CapturePhoto(); });
}

HRESULT CaptureEngine::GetSink(MF_CAPTURE_ENGINE_SINK_TYPE type, IMFCaptureSink** sink)
{
    const HRESULT hr = CheckFault(operation::kEngineGetSink);
    if (FAILED(hr)) return hr;
    if (!sink) return E_POINTER;
    *sink = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const HRESULT refusal = RequestRefusal();
        if (FAILED(refusal)) return refusal;
    }
    switch (type) {
    case MF_CAPTURE_ENGINE_SINK_TYPE_PREVIEW:
        *sink = previewSink_.Get();
        break;
    case MF_CAPTURE_ENGINE_SINK_TYPE_PHOTO:
        *sink = photoSink_.Get();
        break;
    case MF_CAPTURE_ENGINE_SINK_TYPE_RECORD:
        return E_NOTIMPL;
    default:
        return E_INVALIDARG;
    }
    (*sink)->AddRef();
    return S_OK;
}

HRESULT CaptureEngine::GetSource(IMFCaptureSource** source)
{
    const HRESULT hr = CheckFault(operation::kEngineGetSource);
    if (FAILED(hr)) return hr;
    if (!source) return E_POINTER;
    *source = nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    const HRESULT refusal = RequestRefusal();
    if (FAILED(refusal)) return refusal;
    *source = source_.Get();
    (*source)->AddRef();
    return S_OK;
}

bool CaptureEngine::Raise(REFGUID type, HRESULT status)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!initialized_) return false;
    const GUID raised = type;
    return SUCCEEDED(worker_.Post([this, raised, status] {
        // An engine that gives up stops its preview first, as the system's does.
        if (raised == MF_CAPTURE_ENGINE_ERROR) StopRendering();
        return EngineEventData{raised, status};
    }));
}

void CaptureEngine::SetBlocked(const WideString& friendlyName, bool blocked)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!initialized_ || blocked_ == blocked || source_->Camera().Description().friendlyName != friendlyName) return;
    blocked_ = blocked;
    renderer_->SetBlocked(blocked);
    const GUID type = blocked ? MF_CAPTURE_ENGINE_CAMERA_STREAM_BLOCKED : MF_CAPTURE_ENGINE_CAMERA_STREAM_UNBLOCKED;
    worker_.Post([type] { return EngineEventData{type, TakeNextEventStatus(type)}; });
}

void CaptureEngine::WakeWorker()
{
    std::lock_guard<std::mutex> lock(mutex_);
    worker_.Wake();
}

EngineState CaptureEngine::State() const
{
    EngineState state;
    state.exists = true;
    state.framesRendered = renderer_->FramesRendered();
    std::lock_guard<std::mutex> lock(mutex_);
    state.initialized = initialized_;
    state.previewing = previewing_;
    if (source_) state.appliedType = source_->CurrentType();
    return state;
}

PreviewSinkState CaptureEngine::PreviewState() const { return previewSink_->State(); }

PhotoSinkState CaptureEngine::PhotoState() const { return photoSink_->State(); }

HRESULT CaptureEngine::RequestRefusal() const
{
    if (!initialized_) return MF_E_NOT_INITIALIZED;
    return OpenRefused() ? MF_E_INVALIDREQUEST : S_OK;
}

bool CaptureEngine::OpenRefused() const
{
    return condition_ == CameraCondition::denied || microphone_ != CameraCondition::normal;
}

CameraCondition CaptureEngine::MicrophoneFor(IMFAttributes* attributes, IUnknown* audioSource)
{
    UINT32 videoOnly = FALSE;
    if (attributes && SUCCEEDED(GetUINT32Quietly(attributes, MF_CAPTURE_ENGINE_USE_VIDEO_DEVICE_ONLY, &videoOnly)) &&
        videoOnly) {
        return CameraCondition::normal;
    }
    // An engine given its audio source opens no other; otherwise the default microphone comes too.
    return audioSource ? CameraCondition::normal : CurrentMicrophoneCondition();
}

void CaptureEngine::Deliver(const EngineEventData& event)
{
    ComPtr<IMFCaptureEngineOnEventCallback> callback;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        callback = callback_;
    }
    if (TakeDroppedEvent(event.type)) return;
    ComPtr<IMFMediaEvent> mediaEvent;
    if (!callback || FAILED(CreateEngineEvent(event.type, event.status, mediaEvent.Put()))) return;
    // Nothing of the engine is touched after this: the callback may release the engine's last reference.
    callback->OnEvent(mediaEvent.Get());
}

void CaptureEngine::Relay::Forward(void (CaptureEngine::*notice)())
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (engine_) (engine_->*notice)();
}

void CaptureEngine::Relay::Detach()
{
    std::lock_guard<std::mutex> lock(mutex_);
    engine_ = nullptr;
}

void CaptureEngine::OnUnplugged()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (unplugged_) return;
    unplugged_ = true;
    worker_.Post([this] { return ReportUnplugged(); });
}

void CaptureEngine::OnTypeSet()
{
    std::lock_guard<std::mutex> lock(mutex_);
    typeSetPending_ = true;
}

EngineEventData CaptureEngine::ReportInitialized(bool plugged)
{
    HRESULT status = TakeNextEventStatus(MF_CAPTURE_ENGINE_INITIALIZED);
    if (microphone_ == CameraCondition::busy) status = MF_E_HW_MFT_FAILED_START_STREAMING;
    if (microphone_ == CameraCondition::denied || condition_ == CameraCondition::denied) status = E_ACCESSDENIED;
    if (!plugged) status = MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
    return {MF_CAPTURE_ENGINE_INITIALIZED, status};
}

EngineEventData CaptureEngine::BeginPreview()
{
    HRESULT status = TakeNextEventStatus(MF_CAPTURE_ENGINE_PREVIEW_STARTED);
    if (SUCCEEDED(status) && condition_ == CameraCondition::busy) {
        // Another application streams from the camera: the start fails, then the engine gives up.
        status = MF_E_HW_MFT_FAILED_START_STREAMING;
        worker_.Post([] { return EngineEventData{MF_CAPTURE_ENGINE_ERROR, MF_E_HW_MFT_FAILED_START_STREAMING}; });
    }
    if (SUCCEEDED(status)) {
        status = StartRendering();
        // A device another program streams from refuses to start; the engine then gives up, as above.
        if (status == MF_E_HW_MFT_FAILED_START_STREAMING) {
            worker_.Post([] { return EngineEventData{MF_CAPTURE_ENGINE_ERROR, MF_E_HW_MFT_FAILED_START_STREAMING}; });
        }
    }
    return {MF_CAPTURE_ENGINE_PREVIEW_STARTED, status};
}

EngineEventData CaptureEngine::EndPreview()
{
    StopRendering();
    return {MF_CAPTURE_ENGINE_PREVIEW_STOPPED, TakeNextEventStatus(MF_CAPTURE_ENGINE_PREVIEW_STOPPED)};
}

EngineEventData CaptureEngine::CapturePhoto()
{
    HRESULT status = TakeNextEventStatus(MF_CAPTURE_ENGINE_PHOTO_TAKEN);
    if (SUCCEEDED(status)) status = WritePhoto();
    return {MF_CAPTURE_ENGINE_PHOTO_TAKEN, status};
}

EngineEventData CaptureEngine::ReportUnplugged()
{
    StopRendering();
    return {MF_CAPTURE_ENGINE_ERROR, MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED};
}

HRESULT CaptureEngine::StartRendering()
{
    ComPtr<IMFMediaType> deviceType;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (unplugged_) return MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
        deviceType = source_->CurrentType();
    }
    GUID subtype = GUID_NULL;
    // The preview has no decoder for H.264: such a device type is for recording as it comes.
    if (SUCCEEDED(GetGUIDQuietly(deviceType.Get(), MF_MT_SUBTYPE, &subtype)) && subtype == MFVideoFormat_H264) {
        return MF_E_TOPO_CODEC_NOT_FOUND;
    }
    RenderSettings settings;
    HRESULT hr = ResolvePictureFormat(previewSink_->StreamType().Get(), deviceType.Get(), &settings.format);
    if (FAILED(hr)) return hr;
    // A device type may lack a subtype; the source then starts in its own.
    if (FAILED(GetGUIDQuietly(deviceType.Get(), MF_MT_SUBTYPE, &settings.format.subtype))) {
        settings.format.subtype = GUID_NULL;
    }
    settings.window = previewSink_->RenderHandle();
    settings.frames = frames_.get();
    // The renderer holds the sink: an engine released while it draws stops drawing only later.
    settings.presentation = [sink = previewSink_] { return sink->Presentation(); };
    hr = renderer_->Start(settings);
    if (FAILED(hr)) return hr;
    std::lock_guard<std::mutex> lock(mutex_);
    previewing_ = true;
    return S_OK;
}

void CaptureEngine::StopRendering()
{
    renderer_->Stop();
    std::lock_guard<std::mutex> lock(mutex_);
    previewing_ = false;
}

HRESULT CaptureEngine::WritePhoto()
{
    ComPtr<IMFMediaType> deviceType;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (unplugged_) return MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
        deviceType = source_->CurrentPhotoType();
    }
    const ComPtr<IMFMediaType> streamType = photoSink_->StreamType();
    const ComPtr<IMFByteStream> output = photoSink_->Output();
    if (!streamType || !output) return MF_E_INVALIDREQUEST;
    FrameFormat format;
    const HRESULT hr = ResolvePictureFormat(streamType.Get(), deviceType.Get(), &format);
    if (FAILED(hr)) return hr;
    if (FAILED(GetGUIDQuietly(deviceType.Get(), MF_MT_SUBTYPE, &format.subtype))) format.subtype = GUID_NULL;
    const HRESULT own = WriteSourcePhoto(format, output.Get());
    if (own != E_NOTIMPL) return own;

    // The photo shows the frame the preview shows now (the last one drawn), unless an earlier photo
    // showed it: like a sensor, the camera delivers each frame once, so back-to-back photos differ.
    const uint64_t frames = renderer_->FramesRendered();
    const uint64_t frame = std::max(frames == 0 ? 0 : frames - 1, nextPhotoFrame_);
    HRESULT written = ResizeNoThrow(photoPixels_, static_cast<size_t>(format.width) * format.height);
    if (FAILED(written)) return written;
    written = frames_->Deliver({photoPixels_.data(), format.width, format.height, frame});
    if (FAILED(written)) return written;
    if (renderer_->Blocked()) std::fill(photoPixels_.begin(), photoPixels_.end(), 0u);
    nextPhotoFrame_ = frame + 1;
    ComPtr<IMFByteStream> writer;
    written = CreatePhotoWriteStream(output.Get(), CurrentPhotoWriteMode(), writer.Put());
    if (SUCCEEDED(written)) written = EncodeJpeg(photoPixels_.data(), format.width, format.height, writer.Get());
    if (SUCCEEDED(written)) written = FinishPhotoWriteStream(writer.Get());
    return written;
}

HRESULT CaptureEngine::WriteSourcePhoto(const FrameFormat& format, IMFByteStream* output)
{
    HRESULT hr = frames_->TakePhoto(format, &sourcePhoto_);
    if (FAILED(hr)) return hr;
    ComPtr<IMFByteStream> writer;
    hr = CreatePhotoWriteStream(output, CurrentPhotoWriteMode(), writer.Put());
    if (SUCCEEDED(hr)) hr = WriteAll(writer.Get(), sourcePhoto_.data(), sourcePhoto_.size());
    if (SUCCEEDED(hr)) hr = FinishPhotoWriteStream(writer.Get());
    return hr;
}

}  // namespace lumicap::virt
