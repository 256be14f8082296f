// The objects a capture engine hands out: its capture source and its preview and photo sinks. Each is
// a COM object of its own; the engine keeps one of each and reads what the host configured on them.
#pragma once

#include "camera_record.h"
#include "device_controls.h"
#include "frame_presenter.h"
#include "platform/control/engine_control.h"
#include "platform/control/faults.h"
#include "platform/control/live_object.h"
#include "platform/media_foundation/virtual_com_object.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace lumicap::virt {

// IMFCaptureSource over one camera's video stream 0 and, when the camera has one, its photo stream 1;
// its video device source answers the camera's controls.
class CaptureSource final : public VirtualComObject<CaptureSource, IMFCaptureSource> {
public:
    static HRESULT Create(std::shared_ptr<CameraRecord> camera, std::shared_ptr<DeviceControls> controls,
                          CaptureSource** source);
    static const QITAB* Interfaces();

    HRESULT STDMETHODCALLTYPE GetCaptureDeviceSource(MF_CAPTURE_ENGINE_DEVICE_TYPE type,
                                                     IMFMediaSource** mediaSource) override;
    HRESULT STDMETHODCALLTYPE GetCaptureDeviceActivate(MF_CAPTURE_ENGINE_DEVICE_TYPE type,
                                                       IMFActivate** activate) override;
    HRESULT STDMETHODCALLTYPE GetService(REFIID service, REFIID iid, IUnknown** object) override;
    HRESULT STDMETHODCALLTYPE AddEffect(DWORD stream, IUnknown* effect) override;
    HRESULT STDMETHODCALLTYPE RemoveEffect(DWORD stream, IUnknown* effect) override;
    HRESULT STDMETHODCALLTYPE RemoveAllEffects(DWORD stream) override;
    HRESULT STDMETHODCALLTYPE GetAvailableDeviceMediaType(DWORD stream, DWORD index,
                                                          IMFMediaType** mediaType) override;
    HRESULT STDMETHODCALLTYPE SetCurrentDeviceMediaType(DWORD stream, IMFMediaType* mediaType) override;
    HRESULT STDMETHODCALLTYPE GetCurrentDeviceMediaType(DWORD stream, IMFMediaType** mediaType) override;
    HRESULT STDMETHODCALLTYPE GetDeviceStreamCount(DWORD* count) override;
    HRESULT STDMETHODCALLTYPE GetDeviceStreamCategory(DWORD stream,
                                                      MF_CAPTURE_ENGINE_STREAM_CATEGORY* category) override;
    HRESULT STDMETHODCALLTYPE GetMirrorState(DWORD stream, BOOL* mirrored) override;
    HRESULT STDMETHODCALLTYPE SetMirrorState(DWORD stream, BOOL mirrored) override;
    HRESULT STDMETHODCALLTYPE GetStreamIndexFromFriendlyName(UINT32 friendlyName, DWORD* stream) override;

    // The current device media type itself (not a copy) of stream 0, or of the stream photos come
    // from; null for a stream without formats.
    ComPtr<IMFMediaType> CurrentType() const;
    ComPtr<IMFMediaType> CurrentPhotoType() const;
    const CameraRecord& Camera() const { return *camera_; }
    // Called, on the caller's thread, after each device media type the source takes: the engine
    // reports it as an event. Null stops it.
    void OnTypeSet(std::function<void()> listener);

private:
    // The device stream a stream number names: 0, 1 where the camera has a photo stream, or a
    // preferred stream (preview and record are stream 0; photo is the photo stream, else stream 0).
    HRESULT ResolveStream(DWORD stream, DWORD* device) const;
    const std::vector<Format>& FormatsOf(DWORD device) const;
    bool HasPhotoStream() const;

    CaptureSource(std::shared_ptr<CameraRecord> camera, std::shared_ptr<DeviceControls> controls)
        : camera_(std::move(camera)), controls_(std::move(controls))
    {
    }
    ~CaptureSource() override = default;

    const std::shared_ptr<CameraRecord> camera_;
    const std::shared_ptr<DeviceControls> controls_;
    mutable std::mutex mutex_;
    ComPtr<IMFMediaType> current_[2];
    std::function<void()> typeSet_;
};

// What the preview and photo sinks share: QueryInterface for IUnknown, IMFCaptureSink and their own
// interface (the last two counted as a fault operation), the IMFCaptureSink calls and the streams
// added to them.
template <typename Derived, typename Interface>
class CaptureSink : public VirtualComObject<Derived, Interface> {
public:
    static HRESULT Create(Derived** sink);
    // IUnknown, IMFCaptureSink and Derived::OwnInterface(), the sink's own IID.
    static const QITAB* Interfaces();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;

    HRESULT STDMETHODCALLTYPE GetOutputMediaType(DWORD sinkStream, IMFMediaType** mediaType) override;
    HRESULT STDMETHODCALLTYPE GetService(DWORD sinkStream, REFGUID service, REFIID iid, IUnknown** object) override;
    HRESULT STDMETHODCALLTYPE AddStream(DWORD sourceStream, IMFMediaType* mediaType, IMFAttributes* attributes,
                                        DWORD* sinkStream) override;
    HRESULT STDMETHODCALLTYPE Prepare() override;

    bool HasStream() const;
    // The media type of the first stream, or null.
    ComPtr<IMFMediaType> StreamType() const;

protected:
    // addStreamOperation names AddStream for fault injection.
    explicit CaptureSink(const char* addStreamOperation) : addStreamOperation_(addStreamOperation) {}
    ~CaptureSink() override = default;

    mutable std::mutex mutex_;
    std::vector<SinkStream> streams_;

private:
    const char* const addStreamOperation_;
};

// IMFCapturePreviewSink: where the preview goes and at which media type.
class PreviewSink final : public CaptureSink<PreviewSink, IMFCapturePreviewSink> {
public:
    HRESULT STDMETHODCALLTYPE RemoveAllStreams() override;

    HRESULT STDMETHODCALLTYPE SetRenderHandle(HANDLE handle) override;
    HRESULT STDMETHODCALLTYPE SetRenderSurface(IUnknown* surface) override;
    HRESULT STDMETHODCALLTYPE UpdateVideo(const MFVideoNormalizedRect* source, const RECT* destination,
                                          const COLORREF* border) override;
    HRESULT STDMETHODCALLTYPE SetSampleCallback(DWORD sinkStream, IMFCaptureEngineOnSampleCallback* callback) override;
    HRESULT STDMETHODCALLTYPE GetMirrorState(BOOL* mirrored) override;
    HRESULT STDMETHODCALLTYPE SetMirrorState(BOOL mirrored) override;
    HRESULT STDMETHODCALLTYPE GetRotation(DWORD stream, DWORD* rotation) override;
    HRESULT STDMETHODCALLTYPE SetRotation(DWORD stream, DWORD rotation) override;
    HRESULT STDMETHODCALLTYPE SetCustomSink(IMFMediaSink* mediaSink) override;

    HANDLE RenderHandle() const;
    PreviewSinkState State() const;
    // How the running preview draws now: read by the render thread for every frame.
    PreviewPresentation Presentation() const;
    // As the system's preview sink: an uncompressed video type only (MJPG or H.264 is refused).
    static HRESULT CheckStreamType(IMFMediaType* mediaType);

private:
    friend class CaptureSink<PreviewSink, IMFCapturePreviewSink>;
    PreviewSink() : CaptureSink(operation::kPreviewAddStream) {}
    static const IID& OwnInterface() { return IID_IMFCapturePreviewSink; }
    ~PreviewSink() override = default;

    HANDLE renderHandle_ = nullptr;
    PreviewPresentation presentation_;
};

// IMFCapturePhotoSink: the photo's media type and the byte stream the JPEG goes to.
class PhotoSink final : public CaptureSink<PhotoSink, IMFCapturePhotoSink> {
public:
    HRESULT STDMETHODCALLTYPE RemoveAllStreams() override;

    HRESULT STDMETHODCALLTYPE SetOutputFileName(LPCWSTR fileName) override;
    HRESULT STDMETHODCALLTYPE SetSampleCallback(IMFCaptureEngineOnSampleCallback* callback) override;
    HRESULT STDMETHODCALLTYPE SetOutputByteStream(IMFByteStream* byteStream) override;

    bool HasOutput() const;
    ComPtr<IMFByteStream> Output() const;
    // Gives the output stream back (the engine is going away).
    void DropOutput();
    PhotoSinkState State() const;
    // The photo's type is the encoder's business: any is taken.
    static HRESULT CheckStreamType(IMFMediaType*) { return S_OK; }

private:
    friend class CaptureSink<PhotoSink, IMFCapturePhotoSink>;
    PhotoSink() : CaptureSink(operation::kPhotoAddStream) {}
    static const IID& OwnInterface() { return IID_IMFCapturePhotoSink; }
    ~PhotoSink() override = default;

    ComPtr<IMFByteStream> output_;
    unsigned removeAllStreamsCalls_ = 0;
};

// Source stream numbers a capture source accepts for its one video stream: 0 and the preferred
// preview, record and photo streams.
bool IsVideoStream(DWORD stream);

extern template class CaptureSink<PreviewSink, IMFCapturePreviewSink>;
extern template class CaptureSink<PhotoSink, IMFCapturePhotoSink>;

}  // namespace lumicap::virt
