// One capture node streaming frames through memory-mapped driver buffers.
#pragma once

#include "platform/platform.h"
#include "platform/v4l2/device_error.h"
#include "platform/v4l2/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace lumicap::v4l2 {

class VideoStream {
public:
    // A frame the driver has handed over; its data stays valid until Requeue(), Stop() or Close().
    struct Dequeued {
        const uint8_t* data;
        size_t bytesUsed;
        uint32_t index;
        uint64_t timestampUs;
        uint32_t sequence;
    };

    VideoStream() = default;
    VideoStream(const VideoStream&) = delete;
    VideoStream& operator=(const VideoStream&) = delete;
    ~VideoStream() { Close(); }

    // Opens a single-planar streaming capture node; a stream already open is closed first.
    HRESULT Open(const std::string& path);

    // Sets the format and frame rate (rate in frames per second, numerator over denominator),
    // maps the driver's buffers and starts streaming. MF_E_INVALIDMEDIATYPE when the driver
    // would not take the exact format and size. On failure nothing of the attempt is left behind.
    HRESULT Start(uint32_t pixelFormat, uint32_t width, uint32_t height, uint32_t rateNumerator,
                  uint32_t rateDenominator);

    // Waits at most timeoutMs (negative counts as 0) for the next good frame. S_FALSE when none
    // came in time; MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED when the device went away or failed.
    HRESULT WaitFrame(int timeoutMs, Dequeued* frame);

    // Gives a frame's buffer back to the driver; callable from any thread while WaitFrame runs on
    // another, so a frame may be handed back by whoever last reads it.
    HRESULT Requeue(const Dequeued& frame);
    // Buffers the driver holds to fill; WaitFrame needs one.
    size_t QueuedCount() const;

    // Stops streaming and frees the buffers; the node stays open for another Start().
    void Stop();
    void Close();

    bool IsOpen() const { return static_cast<bool>(fd_); }
    bool IsStreaming() const { return streaming_; }
    // What the driver agreed to; 0 when not streaming.
    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    uint32_t PixelFormat() const { return pixelFormat_; }
    uint32_t BytesPerLine() const { return bytesPerLine_; }
    uint32_t SizeImage() const { return sizeImage_; }
    // Buffers the driver gave while streaming; Dequeued::index is below it.
    size_t BufferCount() const { return buffers_.size(); }

private:
    HRESULT SetFormat(uint32_t pixelFormat, uint32_t width, uint32_t height);
    HRESULT SetFrameRate(uint32_t rateNumerator, uint32_t rateDenominator);
    HRESULT MapBuffers();
    HRESULT QueueBuffer(uint32_t index, DeviceStep step);
    // Under queueMutex_.
    HRESULT QueueLocked(uint32_t index, DeviceStep step);
    HRESULT DequeueReady(Dequeued* frame, bool* skipped);

    UniqueFd fd_;
    std::vector<UniqueMapping> buffers_;
    // Which buffers the driver holds; Requeue and WaitFrame may run on two threads at once.
    mutable std::mutex queueMutex_;
    std::vector<bool> queued_;
    bool buffersRequested_ = false;
    bool streaming_ = false;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t pixelFormat_ = 0;
    uint32_t bytesPerLine_ = 0;
    uint32_t sizeImage_ = 0;
};

}  // namespace lumicap::v4l2
