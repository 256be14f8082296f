#include "device_frame_source.h"

#include "platform/no_throw.h"
#include "platform/v4l2/device_formats.h"

#include <linux/videodev2.h>
#include <unistd.h>

#include <algorithm>
#include <new>

namespace lumicap::v4l2 {
namespace {

// How long a photo waits for the camera's next frame, and how long a lost frame may keep the
// preview waiting before it gives up on it (the render thread must stay responsive to stopping).
constexpr std::chrono::milliseconds kPhotoFrameWait{5000};
constexpr std::chrono::milliseconds kLongestFreshWait{500};
constexpr int kPollMilliseconds = 100;

// The pixel formats a subtype is streamed as, in the order tried: cameras name MJPG either way.
std::vector<uint32_t> PixelFormatsOf(REFGUID subtype)
{
    constexpr uint32_t kCandidates[] = {V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_UYVY,   V4L2_PIX_FMT_YVYU,
                                        V4L2_PIX_FMT_NV12, V4L2_PIX_FMT_YUV420, V4L2_PIX_FMT_YVU420,
                                        V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_JPEG};
    std::vector<uint32_t> formats;
    for (uint32_t candidate : kCandidates) {
        if (SubtypeOfPixelFormat(candidate) == subtype) formats.push_back(candidate);
    }
    return formats;
}

// Two frame intervals, so one late frame does not cost the preview a frame, within the limit.
std::chrono::milliseconds FreshWait(const virt::FrameFormat& format)
{
    if (format.rateNumerator == 0) return kLongestFreshWait;
    const auto interval = std::chrono::milliseconds(1000ull * format.rateDenominator / format.rateNumerator);
    return std::clamp(2 * interval, std::chrono::milliseconds(100), kLongestFreshWait);
}

}  // namespace

HRESULT DeviceFrameSource::Start(const virt::FrameFormat& format)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (lost_) return MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
        if (streaming_) return S_OK;
    }
    const std::vector<uint32_t> pixelFormats = PixelFormatsOf(format.subtype);
    if (pixelFormats.empty()) return MF_E_INVALIDMEDIATYPE;
    std::unique_ptr<VideoStream> stream(new (std::nothrow) VideoStream());
    if (!stream) return E_OUTOFMEMORY;
    HRESULT hr = stream->Open(path_);
    for (size_t i = 0; SUCCEEDED(hr) && i < pixelFormats.size(); ++i) {
        hr = stream->Start(pixelFormats[i], format.width, format.height, format.rateNumerator,
                           format.rateDenominator);
        if (hr != MF_E_INVALIDMEDIATYPE || i + 1 == pixelFormats.size()) break;
    }
    if (FAILED(hr)) return hr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hr = NoThrow([&] {
            readers_.assign(stream->BufferCount(), 0);
            retired_.assign(stream->BufferCount(), false);
        });
        if (FAILED(hr)) return hr;
        streaming_ = true;
        stopping_ = false;
        hasLatest_ = false;
        sequence_ = previewed_ = photographed_ = 0;
        freshWait_ = FreshWait(format);
    }
    stream_ = std::move(stream);
    hr = NoThrowStartingThread([&] { capture_ = std::thread(&DeviceFrameSource::Capture, this); });
    if (FAILED(hr)) {
        stream_.reset();
        std::lock_guard<std::mutex> lock(mutex_);
        streaming_ = false;
    }
    return hr;
}

void DeviceFrameSource::Stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    arrived_.notify_all();
    if (capture_.joinable()) capture_.join();
    {
        // A photo taken on another thread may still read a buffer.
        Lock lock(mutex_);
        arrived_.wait(lock, [this] { return std::all_of(readers_.begin(), readers_.end(), [](int n) { return !n; }); });
        streaming_ = false;
        hasLatest_ = false;
    }
    stream_.reset();
}

HRESULT DeviceFrameSource::Deliver(const virt::Frame& frame)
{
    Lock lock(mutex_);
    if (!streaming_) return MF_E_INVALIDREQUEST;
    const HRESULT hr = WaitForFrameAfter(lock, frame.fresh ? previewed_ : 0, freshWait_);
    if (FAILED(hr)) return hr;
    if (frame.fresh) previewed_ = sequence_;
    uint32_t index = 0;
    const CapturedFrame latest = AcquireLatest(&index);
    lock.unlock();
    // Only the render thread asks (photos take TakePhoto), so the scratch is its own.
    const HRESULT converted = ConvertToRgb32(latest, frame.pixels, frame.width, frame.height, conversion_);
    Release(index);
    return converted;
}

HRESULT DeviceFrameSource::TakePhoto(const virt::FrameFormat& format, std::vector<uint8_t>* jpeg)
{
    bool streaming = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        streaming = streaming_;
    }
    if (streaming) return EncodeLatest(format, jpeg);
    HRESULT hr = Start(format);
    if (SUCCEEDED(hr)) hr = EncodeLatest(format, jpeg);
    Stop();
    return hr;
}

HRESULT DeviceFrameSource::EncodeLatest(const virt::FrameFormat& format, std::vector<uint8_t>* jpeg)
{
    Lock lock(mutex_);
    // Each photo shows a frame captured after it was asked for, so back-to-back photos differ.
    const HRESULT hr = WaitForFrameAfter(lock, std::max(photographed_, sequence_), kPhotoFrameWait);
    if (FAILED(hr)) return hr;
    photographed_ = sequence_;
    uint32_t index = 0;
    const CapturedFrame latest = AcquireLatest(&index);
    lock.unlock();
    const HRESULT encoded = EncodePhotoJpeg(latest, format.width, format.height, photo_, jpeg);
    Release(index);
    return encoded;
}

HRESULT DeviceFrameSource::WaitForFrameAfter(Lock& lock, uint64_t after, std::chrono::milliseconds timeout)
{
    arrived_.wait_for(lock, timeout, [&] { return sequence_ > after || lost_ || stopping_; });
    if (sequence_ > after && hasLatest_) return S_OK;
    if (lost_) return MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
    return HRESULT_FROM_WIN32(1460);  // ERROR_TIMEOUT: the camera sent nothing in time
}

CapturedFrame DeviceFrameSource::AcquireLatest(uint32_t* index)
{
    *index = latest_.index;
    ++readers_[latest_.index];
    return {stream_->PixelFormat(), stream_->Width(), stream_->Height(), stream_->BytesPerLine(), latest_.data,
            latest_.bytesUsed};
}

void DeviceFrameSource::Release(uint32_t index)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (--readers_[index] == 0 && retired_[index]) Retire(index);
    }
    // Stop waits for the last reader; the capture thread for a buffer to queue.
    arrived_.notify_all();
}

void DeviceFrameSource::Retire(uint32_t index)
{
    if (readers_[index] > 0) {
        retired_[index] = true;
        return;
    }
    retired_[index] = false;
    // A failure shows as the capture thread's next wait failing: the device is gone.
    stream_->Requeue({nullptr, 0, index, 0, 0});
}

bool DeviceFrameSource::WaitForQueuedBuffer(Lock& lock)
{
    while (!stopping_ && stream_->QueuedCount() == 0) {
        arrived_.wait_for(lock, std::chrono::milliseconds(kPollMilliseconds));
    }
    return !stopping_;
}

void DeviceFrameSource::Capture()
{
    for (;;) {
        {
            Lock lock(mutex_);
            if (!WaitForQueuedBuffer(lock)) return;
        }
        VideoStream::Dequeued frame{};
        const HRESULT hr = stream_->WaitFrame(kPollMilliseconds, &frame);
        if (hr == S_FALSE) continue;
        if (FAILED(hr)) {
            Lose();
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (hasLatest_) Retire(latest_.index);
            latest_ = frame;
            hasLatest_ = true;
            ++sequence_;
        }
        arrived_.notify_all();
    }
}

void DeviceFrameSource::Lose()
{
    std::vector<std::pair<int, LossListener>> listeners;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (lost_) return;
        lost_ = true;
        listeners = listeners_;
    }
    arrived_.notify_all();
    for (const auto& listener : listeners) listener.second();
}

int DeviceFrameSource::AddLossListener(LossListener listener)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int id = nextListener_++;
    listeners_.emplace_back(id, std::move(listener));
    return id;
}

void DeviceFrameSource::RemoveLossListener(int id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(),
                                    [id](const auto& entry) { return entry.first == id; }),
                     listeners_.end());
}

bool DeviceFrameSource::IsPresent() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return !lost_ && ::access(path_.c_str(), F_OK) == 0;
}

}  // namespace lumicap::v4l2
