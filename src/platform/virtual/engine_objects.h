// The objects a capture engine hands out: its capture source and its preview and photo sinks. Each is
// a COM object of its own; the engine keeps one of each and reads what the host configured on them.
#pragma once

#include "virtual_internal.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace lumicap::virt {

// IMFCaptureSource over one camera's stream 0.
class CaptureSource final : public IMFCaptureSource {
public:
    static HRESULT Create(std::shared_ptr<CameraRecord> camera, CaptureSource** source);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

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

    // The current device media type itself (not a copy); null for a camera without formats.
    ComPtr<IMFMediaType> CurrentType() const;

private:
    explicit CaptureSource(std::shared_ptr<CameraRecord> camera) : camera_(std::move(camera)) {}
    ~CaptureSource() = default;

    LiveObject live_;
    std::atomic<ULONG> refs_{1};
    const std::shared_ptr<CameraRecord> camera_;
    mutable std::mutex mutex_;
    ComPtr<IMFMediaType> current_;
};

// IMFCapturePreviewSink: where the preview goes and at which media type.
class PreviewSink final : public IMFCapturePreviewSink {
public:
    static HRESULT Create(PreviewSink** sink);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetOutputMediaType(DWORD sinkStream, IMFMediaType** mediaType) override;
    HRESULT STDMETHODCALLTYPE GetService(DWORD sinkStream, REFGUID service, REFIID iid, IUnknown** object) override;
    HRESULT STDMETHODCALLTYPE AddStream(DWORD sourceStream, IMFMediaType* mediaType, IMFAttributes* attributes,
                                        DWORD* sinkStream) override;
    HRESULT STDMETHODCALLTYPE Prepare() override;
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

    bool HasStream() const;
    HANDLE RenderHandle() const;
    // The media type of the first stream, or null.
    ComPtr<IMFMediaType> StreamType() const;
    PreviewSinkState State() const;

private:
    PreviewSink() = default;
    ~PreviewSink() = default;

    LiveObject live_;
    std::atomic<ULONG> refs_{1};
    mutable std::mutex mutex_;
    HANDLE renderHandle_ = nullptr;
    std::vector<SinkStream> streams_;
};

// IMFCapturePhotoSink: the photo's media type and the byte stream the JPEG goes to.
class PhotoSink final : public IMFCapturePhotoSink {
public:
    static HRESULT Create(PhotoSink** sink);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetOutputMediaType(DWORD sinkStream, IMFMediaType** mediaType) override;
    HRESULT STDMETHODCALLTYPE GetService(DWORD sinkStream, REFGUID service, REFIID iid, IUnknown** object) override;
    HRESULT STDMETHODCALLTYPE AddStream(DWORD sourceStream, IMFMediaType* mediaType, IMFAttributes* attributes,
                                        DWORD* sinkStream) override;
    HRESULT STDMETHODCALLTYPE Prepare() override;
    HRESULT STDMETHODCALLTYPE RemoveAllStreams() override;

    HRESULT STDMETHODCALLTYPE SetOutputFileName(LPCWSTR fileName) override;
    HRESULT STDMETHODCALLTYPE SetSampleCallback(IMFCaptureEngineOnSampleCallback* callback) override;
    HRESULT STDMETHODCALLTYPE SetOutputByteStream(IMFByteStream* byteStream) override;

    bool HasStream() const;
    bool HasOutput() const;
    ComPtr<IMFMediaType> StreamType() const;
    ComPtr<IMFByteStream> Output() const;
    // Gives the output stream back (the engine is going away).
    void DropOutput();
    PhotoSinkState State() const;

private:
    PhotoSink() = default;
    ~PhotoSink() = default;

    LiveObject live_;
    std::atomic<ULONG> refs_{1};
    mutable std::mutex mutex_;
    std::vector<SinkStream> streams_;
    ComPtr<IMFByteStream> output_;
    unsigned removeAllStreamsCalls_ = 0;
};

// Source stream numbers a capture source accepts for its one video stream: 0 and the preferred
// preview, record and photo streams.
bool IsVideoStream(DWORD stream);

// Records a sink stream; shared by both sinks.
HRESULT AddSinkStream(std::vector<SinkStream>& streams, DWORD sourceStream, IMFMediaType* mediaType,
                      DWORD* sinkStream);

}  // namespace lumicap::virt
