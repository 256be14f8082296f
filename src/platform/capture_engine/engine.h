// The virtual capture engine (IMFCaptureEngine). Its work happens on its own worker thread and is
// reported only through the host's IMFCaptureEngineOnEventCallback, on that thread; the preview is
// drawn by a render thread of its own. Its frames come only through the FrameSource its camera feed
// gives it (frame_source.h), so it knows nothing of where they come from.
#pragma once

#include "engine_objects.h"
#include "engine_renderer.h"
#include "engine_worker.h"
#include "frame_source.h"

#include <memory>
#include <mutex>
#include <vector>

namespace lumicap::virt {

class CaptureEngine final : public VirtualComObject<CaptureEngine, IMFCaptureEngine> {
public:
    static HRESULT Create(REFIID iid, void** engine);
    static const QITAB* Interfaces();

    HRESULT STDMETHODCALLTYPE Initialize(IMFCaptureEngineOnEventCallback* callback, IMFAttributes* attributes,
                                         IUnknown* audioSource, IUnknown* videoSource) override;
    HRESULT STDMETHODCALLTYPE StartPreview() override;
    HRESULT STDMETHODCALLTYPE StopPreview() override;
    HRESULT STDMETHODCALLTYPE StartRecord() override;
    HRESULT STDMETHODCALLTYPE StopRecord(BOOL finalize, BOOL flushUnprocessedSamples) override;
    HRESULT STDMETHODCALLTYPE TakePhoto() override;
    HRESULT STDMETHODCALLTYPE GetSink(MF_CAPTURE_ENGINE_SINK_TYPE type, IMFCaptureSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetSource(IMFCaptureSource** source) override;

    // For the control API, which calls them under the engine registry's lock.
    bool Raise(REFGUID type, HRESULT status);
    // An engine on a camera of this name reports its stream blocked or unblocked and, while blocked,
    // shows black.
    void SetBlocked(const WideString& friendlyName, bool blocked);
    void WakeWorker();
    bool Idle() const { return worker_.Idle(); }
    EngineState State() const;
    PreviewSinkState PreviewState() const;
    PhotoSinkState PhotoState() const;

private:
    // Forwards notices of the frame source (a loss) and of the capture source (a media type set) for
    // as long as the engine lives; they may come from any thread, even while the engine is destroyed.
    class Relay {
    public:
        explicit Relay(CaptureEngine* engine) : engine_(engine) {}
        void Forward(void (CaptureEngine::*notice)());
        void Detach();

    private:
        std::mutex mutex_;
        CaptureEngine* engine_;
    };

    CaptureEngine() = default;
    ~CaptureEngine() override;

    void Deliver(const EngineEventData& event);
    // Under mutex_: what a request of an initialised engine is refused with, or S_OK.
    HRESULT RequestRefusal() const;
    void OnUnplugged();
    void OnTypeSet();
    // What opening the default microphone too does to an engine asked for more than video.
    static CameraCondition MicrophoneFor(IMFAttributes* attributes, IUnknown* audioSource);
    // Under mutex_: an engine whose camera or microphone was refused never finished initialising.
    bool OpenRefused() const;

    // Jobs, run on the worker.
    EngineEventData ReportInitialized(bool plugged);
    EngineEventData BeginPreview();
    EngineEventData EndPreview();
    EngineEventData CapturePhoto();
    EngineEventData ReportUnplugged();
    HRESULT StartRendering();
    HRESULT WritePhoto();
    // The photo the frame source makes itself, written out; E_NOTIMPL when it makes none.
    HRESULT WriteSourcePhoto(const FrameFormat& format, IMFByteStream* output);
    void StopRendering();

    ComPtr<PreviewSink> previewSink_;
    ComPtr<PhotoSink> photoSink_;
    EngineWorker worker_;
    // Started and stopped only on the worker, or once the worker has ended; shared with a late stop.
    std::shared_ptr<EngineRenderer> renderer_;
    // The frame a photo encodes; used only on the worker, and kept from one photo to the next so a
    // photo neither allocates nor faults in a whole frame.
    std::vector<uint32_t> photoPixels_;
    std::vector<uint8_t> sourcePhoto_;  // likewise for a photo the source makes itself
    // The first frame no photo has shown yet (worker thread only).
    uint64_t nextPhotoFrame_ = 0;

    mutable std::mutex mutex_;
    bool initialized_ = false;
    bool unplugged_ = false;
    bool previewing_ = false;
    CameraCondition condition_ = CameraCondition::normal;
    CameraCondition microphone_ = CameraCondition::normal;
    bool blocked_ = false;
    bool typeSetPending_ = false;  // a device media type set, reported when the preview is built
    ComPtr<IMFCaptureEngineOnEventCallback> callback_;
    ComPtr<CaptureSource> source_;
    std::shared_ptr<FrameSource> frames_;  // shared with the renderer while it runs, and a late stop
    std::shared_ptr<Relay> relay_;
    int unplugListener_ = 0;
};

}  // namespace lumicap::virt
