// What the virtual capture engine's tests share: an event callback that records what arrives, a byte
// stream that records what is written to it, and a fixture that drives an engine through the seam.
#pragma once

#include "platform/virtual/virtual_platform.h"
#include "platform/capture_engine/late_stop.h"
#include "platform/media_foundation/activation.h"
#include "platform/media_foundation/media_event.h"
#include "platform/media_foundation/media_type.h"
#include "platform/media_foundation/virtual_com_object.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace lumicap::virt::engine_tests {

// Generous: waits end as soon as their condition holds.
constexpr std::chrono::seconds kTimeout{20};

// Waits until condition() holds (checked every few milliseconds); false on time-out.
inline bool WaitUntil(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + kTimeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

struct RecordedEvent {
    std::thread::id thread;
    GUID type;
    HRESULT status;
};

// The host's event callback: records each event with the thread it arrived on.
class RecordingCallback final : public CountedComObject<RecordingCallback, IMFCaptureEngineOnEventCallback> {
public:
    static const QITAB* Interfaces()
    {
        static const QITAB table[] = {QITABENT(RecordingCallback, IMFCaptureEngineOnEventCallback), {nullptr, 0}};
        return table;
    }
    static ComPtr<RecordingCallback> Create() { return ComPtr<RecordingCallback>::Attach(new RecordingCallback()); }

    HRESULT STDMETHODCALLTYPE OnEvent(IMFMediaEvent* event) override
    {
        RecordedEvent recorded{std::this_thread::get_id(), GUID_NULL, S_OK};
        EXPECT_EQ(event->GetExtendedType(&recorded.type), S_OK);
        EXPECT_EQ(event->GetStatus(&recorded.status), S_OK);
        std::function<void(const RecordedEvent&)> hook;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back(recorded);
            hook = hook_;
        }
        changed_.notify_all();
        if (hook) hook(recorded);
        return S_OK;
    }

    // Runs on the engine's worker after each event is recorded.
    void SetHook(std::function<void(const RecordedEvent&)> hook)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hook_ = std::move(hook);
    }

    std::vector<RecordedEvent> Events() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

    // The nth (1-based) event of this type, once it has arrived; false on time-out.
    bool WaitFor(REFGUID type, RecordedEvent* found = nullptr, size_t nth = 1) const
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, kTimeout, [&] {
            size_t seen = 0;
            for (const RecordedEvent& event : events_) {
                if (event.type == type && ++seen == nth) {
                    if (found) *found = event;
                    return true;
                }
            }
            return false;
        });
    }

    bool WaitForCount(size_t count) const
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, kTimeout, [&] { return events_.size() >= count; });
    }

private:
    RecordingCallback() = default;
    ~RecordingCallback() override = default;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<RecordedEvent> events_;
    std::function<void(const RecordedEvent&)> hook_;
};

// A write-only byte stream that keeps every chunk written to it. It can fail its nth Write, accept
// at most a few bytes per Write, or accept nothing at all.
class RecordingByteStream final : public CountedComObject<RecordingByteStream, IMFByteStream> {
public:
    static const QITAB* Interfaces()
    {
        static const QITAB table[] = {QITABENT(RecordingByteStream, IMFByteStream), {nullptr, 0}};
        return table;
    }
    static ComPtr<RecordingByteStream> Create()
    {
        return ComPtr<RecordingByteStream>::Attach(new RecordingByteStream());
    }

    void FailWrite(unsigned nth, HRESULT hr)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failNth_ = nth;
        failWith_ = hr;
    }
    void LimitWrite(ULONG bytes)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        limit_ = bytes;
    }

    std::vector<BYTE> Data() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return data_;
    }
    std::vector<ULONG> Chunks() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return chunks_;
    }
    unsigned WriteCalls() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return writeCalls_;
    }
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override
    {
        *capabilities = MFBYTESTREAM_IS_WRITABLE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLength(QWORD* length) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        *length = data_.size();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetLength(QWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(QWORD* position) override { return GetLength(position); }
    HRESULT STDMETHODCALLTYPE SetCurrentPosition(QWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsEndOfStream(BOOL* end) override
    {
        *end = TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Read(BYTE*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginRead(BYTE*, ULONG, IMFAsyncCallback*, IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndRead(IMFAsyncResult*, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Write(const BYTE* bytes, ULONG count, ULONG* written) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++writeCalls_;
        if (written) *written = 0;
        if (writeCalls_ == failNth_) return failWith_;
        const ULONG accepted = count < limit_ ? count : limit_;
        data_.insert(data_.end(), bytes, bytes + accepted);
        if (accepted > 0) chunks_.push_back(accepted);
        if (written) *written = accepted;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE BeginWrite(const BYTE*, ULONG, IMFAsyncCallback*, IUnknown*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EndWrite(IMFAsyncResult*, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(MFBYTESTREAM_SEEK_ORIGIN, LONGLONG, DWORD, QWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Flush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close() override { return S_OK; }

private:
    RecordingByteStream() = default;
    ~RecordingByteStream() override = default;

    mutable std::mutex mutex_;
    std::vector<BYTE> data_;
    std::vector<ULONG> chunks_;
    unsigned writeCalls_ = 0;
    unsigned failNth_ = 0;
    HRESULT failWith_ = S_OK;
    ULONG limit_ = ~0u;
};

inline Format MakeFormat(UINT32 width, UINT32 height, const GUID& subtype, UINT32 numerator, UINT32 denominator)
{
    Format format;
    format.width = width;
    format.height = height;
    format.subtype = subtype;
    format.rateNumerator = numerator;
    format.rateDenominator = denominator;
    return format;
}

// A camera with small formats, so previews stay cheap under the sanitizers.
inline Camera SmallCamera(const WideString& name = TEXT("Small Test Camera"))
{
    Camera camera;
    camera.friendlyName = name;
    camera.symbolicLink = TEXT("\\\\?\\lumicap#test#") + name;
    camera.category = CLSID_VideoInputDeviceCategory;
    camera.formats = {MakeFormat(160, 120, MFVideoFormat_YUY2, 30, 1), MakeFormat(96, 64, MFVideoFormat_NV12, 60, 1),
                      MakeFormat(320, 240, MFVideoFormat_MJPG, 15, 1)};
    return camera;
}

inline UINT64 Pack(UINT32 high, UINT32 low) { return (static_cast<UINT64>(high) << 32) | low; }

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Reset();
        SetCameras({SmallCamera()});
        liveAtStart_ = LiveObjectCount();
        window_ = LumicapCreateMessageWindow();
        ASSERT_NE(window_, nullptr);
        callback_ = RecordingCallback::Create();
    }

    void TearDown() override
    {
        engine_.Reset();
        callback_.Reset();
        DestroyWindow(window_);
        // An engine released while it drew stops drawing (and lets go of its sink) a little later.
        FinishLateStops();
        EXPECT_EQ(LiveObjectCount(), liveAtStart_);
        Reset();
    }

    static ComPtr<IMFCaptureEngine> NewEngine()
    {
        ComPtr<IMFCaptureEngineClassFactory> factory;
        EXPECT_EQ(platform::CoCreateInstance(CLSID_MFCaptureEngineClassFactory, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_IMFCaptureEngineClassFactory, factory.PutVoid()),
                  S_OK);
        ComPtr<IMFCaptureEngine> engine;
        if (factory) {
            EXPECT_EQ(factory->CreateInstance(CLSID_MFCaptureEngineClassFactory, IID_IMFCaptureEngine,
                                              engine.PutVoid()),
                      S_OK);
        }
        return engine;
    }

    // The activation object of the nth plugged camera.
    static ComPtr<IMFActivate> CameraActivate(UINT32 index = 0)
    {
        ComPtr<IMFAttributes> attributes;
        EXPECT_EQ(platform::MFCreateAttributes(attributes.Put(), 1), S_OK);
        EXPECT_EQ(attributes->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID),
                  S_OK);
        IMFActivate** activates = nullptr;
        UINT32 count = 0;
        EXPECT_EQ(platform::MFEnumDeviceSources(attributes.Get(), &activates, &count), S_OK);
        ComPtr<IMFActivate> chosen;
        for (UINT32 i = 0; i < count; ++i) {
            ComPtr<IMFActivate> activate = ComPtr<IMFActivate>::Attach(activates[i]);
            if (i == index) chosen = activate;
        }
        CoTaskMemFree(activates);
        return chosen;
    }

    // A new engine initialised on the nth camera, once INITIALIZED has arrived.
    void StartEngine(UINT32 camera = 0)
    {
        engine_ = NewEngine();
        ASSERT_TRUE(engine_);
        ComPtr<IMFActivate> activate = CameraActivate(camera);
        ASSERT_TRUE(activate);
        ASSERT_EQ(engine_->Initialize(callback_.Get(), nullptr, nullptr, activate.Get()), S_OK);
        RecordedEvent initialized{};
        ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_INITIALIZED, &initialized));
        ASSERT_EQ(initialized.status, S_OK);
    }

    template <typename Sink>
    ComPtr<Sink> GetSink(MF_CAPTURE_ENGINE_SINK_TYPE type, REFIID iid)
    {
        ComPtr<IMFCaptureSink> sink;
        EXPECT_EQ(engine_->GetSink(type, sink.Put()), S_OK);
        ComPtr<Sink> typed;
        if (sink) {
            EXPECT_EQ(sink->QueryInterface(iid, typed.PutVoid()), S_OK);
        }
        return typed;
    }
    ComPtr<IMFCapturePreviewSink> PreviewSink()
    {
        return GetSink<IMFCapturePreviewSink>(MF_CAPTURE_ENGINE_SINK_TYPE_PREVIEW, IID_IMFCapturePreviewSink);
    }
    ComPtr<IMFCapturePhotoSink> PhotoSink()
    {
        return GetSink<IMFCapturePhotoSink>(MF_CAPTURE_ENGINE_SINK_TYPE_PHOTO, IID_IMFCapturePhotoSink);
    }
    ComPtr<IMFCaptureSource> Source()
    {
        ComPtr<IMFCaptureSource> source;
        EXPECT_EQ(engine_->GetSource(source.Put()), S_OK);
        return source;
    }

    // A media type as the library builds one for a sink; a zero size or rate leaves it out.
    static ComPtr<IMFMediaType> SinkType(const GUID& subtype, UINT32 width, UINT32 height, UINT32 numerator = 0,
                                         UINT32 denominator = 1)
    {
        ComPtr<IMFMediaType> type;
        EXPECT_EQ(platform::MFCreateMediaType(type.Put()), S_OK);
        EXPECT_EQ(type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video), S_OK);
        EXPECT_EQ(type->SetGUID(MF_MT_SUBTYPE, subtype), S_OK);
        if (width) {
            EXPECT_EQ(type->SetUINT64(MF_MT_FRAME_SIZE, Pack(width, height)), S_OK);
        }
        if (numerator) {
            EXPECT_EQ(type->SetUINT64(MF_MT_FRAME_RATE, Pack(numerator, denominator)), S_OK);
        }
        return type;
    }

    void AddPreviewStream(IMFMediaType* type)
    {
        ComPtr<IMFCapturePreviewSink> sink = PreviewSink();
        ASSERT_TRUE(sink);
        ASSERT_EQ(sink->SetRenderHandle(window_), S_OK);
        DWORD index = 99;
        ASSERT_EQ(sink->AddStream(MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_VIDEO_PREVIEW, type, nullptr, &index),
                  S_OK);
    }

    // Starts the preview at the given size and waits until it is rendering.
    void StartPreviewAt(UINT32 width, UINT32 height, UINT32 numerator = 30)
    {
        AddPreviewStream(SinkType(MFVideoFormat_RGB32, width, height, numerator).Get());
        ASSERT_EQ(engine_->StartPreview(), S_OK);
        RecordedEvent started{};
        ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_PREVIEW_STARTED, &started));
        ASSERT_EQ(started.status, S_OK);
    }

    void SetPhotoOutput(IMFMediaType* type, IMFByteStream* output)
    {
        ComPtr<IMFCapturePhotoSink> sink = PhotoSink();
        ASSERT_TRUE(sink);
        ASSERT_EQ(sink->RemoveAllStreams(), S_OK);
        DWORD index = 99;
        ASSERT_EQ(sink->AddStream(MF_CAPTURE_ENGINE_PREFERRED_SOURCE_STREAM_FOR_PHOTO, type, nullptr, &index), S_OK);
        EXPECT_EQ(index, 0u);
        if (output) {
            ASSERT_EQ(sink->SetOutputByteStream(output), S_OK);
        }
    }

    long liveAtStart_ = 0;
    HWND window_ = nullptr;
    ComPtr<RecordingCallback> callback_;
    ComPtr<IMFCaptureEngine> engine_;
};

}  // namespace lumicap::virt::engine_tests
