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
    void WakeWorker();
    EngineState State() const;
    PreviewSinkState PreviewState() const;
    PhotoSinkState PhotoState() const;

private:
    // Forwards the frame source's loss notice for as long as the engine lives; the source may notify
    // from any thread, even while the engine is being destroyed.
    class UnplugRelay {
    public:
        explicit UnplugRelay(CaptureEngine* engine) : engine_(engine) {}
        void Notify();
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
    EngineRenderer renderer_;  // started and stopped only on the worker, or once the worker has ended
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
    ComPtr<IMFCaptureEngineOnEventCallback> callback_;
    ComPtr<CaptureSource> source_;
    std::unique_ptr<FrameSource> frames_;  // shared with the renderer while it runs
    std::shared_ptr<UnplugRelay> relay_;
    int unplugListener_ = 0;
};

}  // namespace lumicap::virt
