// The frames of a real camera: a V4L2 node streamed by a capture thread of its own, its latest frame
// kept in the driver's own buffer, converted from there to RGB32 when the preview asks and made into
// a JPEG when a photo does: the frame is never copied on its way.
#pragma once

#include "platform/capture_engine/frame_source.h"
#include "platform/v4l2/frame_conversion.h"
#include "platform/v4l2/photo_jpeg.h"
#include "platform/v4l2/video_stream.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace lumicap::v4l2 {

class DeviceFrameSource final : public virt::FrameSource {
public:
    explicit DeviceFrameSource(std::string path) : path_(std::move(path)) {}
    ~DeviceFrameSource() override { Stop(); }

    // Opens the node and streams it in the format's subtype, size and rate.
    HRESULT Start(const virt::FrameFormat& format) override;
    // Stops streaming and closes the node, so other programs may use the camera.
    void Stop() override;
    HRESULT Deliver(const virt::Frame& frame) override;
    // A frame captured after the request; when the preview is not running the node streams just
    // long enough for one.
    HRESULT TakePhoto(const virt::FrameFormat& format, std::vector<uint8_t>* jpeg) override;

    int AddLossListener(LossListener listener) override;
    void RemoveLossListener(int id) override;
    bool IsPresent() const override;

private:
    using Lock = std::unique_lock<std::mutex>;

    // Under mutex_: waits until a frame newer than `after` has arrived, the device is lost or the
    // time is up; S_OK when there is one.
    HRESULT WaitForFrameAfter(Lock& lock, uint64_t after, std::chrono::milliseconds timeout);
    // Under mutex_: the latest frame, whose buffer stays out of the driver's hands until released.
    CapturedFrame AcquireLatest(uint32_t* index);
    void Release(uint32_t index);
    // Under mutex_: gives a buffer back to the driver, or leaves that to its last reader.
    void Retire(uint32_t index);
    HRESULT EncodeLatest(const virt::FrameFormat& format, std::vector<uint8_t>* jpeg);
    void Capture();
    // Under mutex_: waits while the readers hold every buffer; false when stopping.
    bool WaitForQueuedBuffer(Lock& lock);
    void Lose();

    const std::string path_;
    // Made by Start and dropped by Stop; between them the capture thread waits on it and the readers of
    // a frame hand buffers back through it.
    std::unique_ptr<VideoStream> stream_;
    std::thread capture_;
    std::chrono::milliseconds freshWait_{500};

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    bool streaming_ = false;
    bool stopping_ = false;
    bool lost_ = false;
    bool hasLatest_ = false;
    VideoStream::Dequeued latest_{};  // the newest frame, in the driver's buffer
    std::vector<int> readers_;        // per buffer: conversions and photos reading it now
    std::vector<bool> retired_;       // per buffer: superseded, back to the driver when unread
    uint32_t pixelFormat_ = 0;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t bytesPerLine_ = 0;
    uint64_t sequence_ = 0;   // frames captured since the stream started
    uint64_t previewed_ = 0;  // the newest frame the preview has been given
    uint64_t photographed_ = 0;
    ConversionScratch conversion_;
    PhotoScratch photo_;
    int nextListener_ = 1;
    std::vector<std::pair<int, LossListener>> listeners_;
};

}  // namespace lumicap::v4l2
