#include "platform/v4l2/video_stream.h"

#include "platform/no_throw.h"
#include "platform/v4l2/device_ioctl.h"
#include "platform/v4l2/device_nodes.h"

#include <linux/videodev2.h>
#include <poll.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

namespace lumicap::v4l2 {
namespace {

constexpr uint32_t kBufferCount = 4;

v4l2_requestbuffers MmapRequest(uint32_t count)
{
    v4l2_requestbuffers request{};
    request.count = count;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    return request;
}

v4l2_buffer MmapBuffer(uint32_t index)
{
    v4l2_buffer buffer{};
    buffer.index = index;
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    return buffer;
}

int RemainingMs(std::chrono::steady_clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

}  // namespace

HRESULT VideoStream::Open(const std::string& path)
{
    Close();
    UniqueFd fd;
    HRESULT hr = OpenNode(path, &fd);
    if (FAILED(hr)) return hr;
    v4l2_capability caps;
    if (!QueryCapabilities(fd.Get(), &caps)) return DeviceError(errno, DeviceStep::query);
    uint32_t node = NodeCapabilities(caps);
    if ((node & V4L2_CAP_VIDEO_CAPTURE) == 0 || (node & V4L2_CAP_STREAMING) == 0) return E_INVALIDARG;
    fd_ = std::move(fd);
    return S_OK;
}

HRESULT VideoStream::Start(uint32_t pixelFormat, uint32_t width, uint32_t height, uint32_t rateNumerator,
                           uint32_t rateDenominator)
{
    if (!fd_) return MF_E_NOT_INITIALIZED;
    if (buffersRequested_) return MF_E_INVALIDREQUEST;
    if (width == 0 || height == 0 || rateNumerator == 0 || rateDenominator == 0) return E_INVALIDARG;
    HRESULT hr = SetFormat(pixelFormat, width, height);
    if (SUCCEEDED(hr)) hr = SetFrameRate(rateNumerator, rateDenominator);
    if (SUCCEEDED(hr)) hr = MapBuffers();
    for (uint32_t index = 0; SUCCEEDED(hr) && index < buffers_.size(); ++index) {
        hr = QueueBuffer(index, DeviceStep::buffers);
    }
    if (SUCCEEDED(hr)) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (Ioctl(fd_.Get(), VIDIOC_STREAMON, &type)) {
            streaming_ = true;
        } else {
            hr = DeviceError(errno, DeviceStep::streamOn);
        }
    }
    if (FAILED(hr)) Stop();
    return hr;
}

HRESULT VideoStream::SetFormat(uint32_t pixelFormat, uint32_t width, uint32_t height)
{
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.width = width;
    format.fmt.pix.height = height;
    format.fmt.pix.pixelformat = pixelFormat;
    format.fmt.pix.field = V4L2_FIELD_NONE;
    if (!Ioctl(fd_.Get(), VIDIOC_S_FMT, &format)) return DeviceError(errno, DeviceStep::format);
    // Drivers adjust what they cannot do instead of failing; a caller asked for this exact type.
    const v4l2_pix_format& set = format.fmt.pix;
    if (set.pixelformat != pixelFormat || set.width != width || set.height != height) return MF_E_INVALIDMEDIATYPE;
    width_ = set.width;
    height_ = set.height;
    pixelFormat_ = set.pixelformat;
    bytesPerLine_ = set.bytesperline;
    sizeImage_ = set.sizeimage;
    return S_OK;
}

HRESULT VideoStream::SetFrameRate(uint32_t rateNumerator, uint32_t rateDenominator)
{
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    // A node that cannot set its frame interval streams at the rate it has.
    if (!Ioctl(fd_.Get(), VIDIOC_G_PARM, &parm) || (parm.parm.capture.capability & V4L2_CAP_TIMEPERFRAME) == 0) {
        return S_OK;
    }
    parm = {};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    parm.parm.capture.timeperframe.numerator = rateDenominator;
    parm.parm.capture.timeperframe.denominator = rateNumerator;
    if (!Ioctl(fd_.Get(), VIDIOC_S_PARM, &parm)) return DeviceError(errno, DeviceStep::format);
    return S_OK;
}

HRESULT VideoStream::MapBuffers()
{
    v4l2_requestbuffers request = MmapRequest(kBufferCount);
    if (!Ioctl(fd_.Get(), VIDIOC_REQBUFS, &request)) return DeviceError(errno, DeviceStep::buffers);
    buffersRequested_ = true;
    if (request.count == 0) return E_OUTOFMEMORY;
    const HRESULT hr = NoThrow([&] {
        buffers_.reserve(request.count);
        queued_.assign(request.count, false);
    });
    if (FAILED(hr)) return hr;
    for (uint32_t index = 0; index < request.count; ++index) {
        v4l2_buffer buffer = MmapBuffer(index);
        if (!Ioctl(fd_.Get(), VIDIOC_QUERYBUF, &buffer)) return DeviceError(errno, DeviceStep::buffers);
        void* address =
            ::mmap(nullptr, buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_.Get(), buffer.m.offset);
        if (address == MAP_FAILED) return DeviceError(errno, DeviceStep::buffers);
        buffers_.emplace_back(address, buffer.length);
    }
    return S_OK;
}

HRESULT VideoStream::QueueBuffer(uint32_t index, DeviceStep step)
{
    std::lock_guard<std::mutex> lock(queueMutex_);
    return QueueLocked(index, step);
}

HRESULT VideoStream::QueueLocked(uint32_t index, DeviceStep step)
{
    v4l2_buffer buffer = MmapBuffer(index);
    if (!Ioctl(fd_.Get(), VIDIOC_QBUF, &buffer)) return DeviceError(errno, step);
    queued_[index] = true;
    return S_OK;
}

HRESULT VideoStream::WaitFrame(int timeoutMs, Dequeued* frame)
{
    if (!streaming_) return MF_E_INVALIDREQUEST;
    // With no buffer queued the driver reports an error on poll; that is the caller's doing.
    if (QueuedCount() == 0) return MF_E_INVALIDREQUEST;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        pollfd waiting{fd_.Get(), POLLIN | POLLPRI, 0};
        int ready = ::poll(&waiting, 1, RemainingMs(deadline));
        if (ready < 0 && errno != EINTR) return DeviceError(errno, DeviceStep::streaming);
        if (ready == 0) return S_FALSE;
        if (ready < 0) continue;
        if ((waiting.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
        if ((waiting.revents & POLLPRI) != 0) {
            // Events nobody subscribed to; take them off so that poll does not keep waking.
            v4l2_event event{};
            while (Ioctl(fd_.Get(), VIDIOC_DQEVENT, &event)) {}
        }
        if ((waiting.revents & POLLIN) == 0) continue;
        bool skipped = false;
        HRESULT hr = DequeueReady(frame, &skipped);
        if (FAILED(hr) || (hr == S_OK && !skipped)) return hr;
        if (RemainingMs(deadline) == 0) return S_FALSE;
    }
}

// S_FALSE when nothing was ready after all; *skipped when a damaged frame went straight back.
HRESULT VideoStream::DequeueReady(Dequeued* frame, bool* skipped)
{
    std::lock_guard<std::mutex> lock(queueMutex_);
    v4l2_buffer buffer = MmapBuffer(0);
    if (!Ioctl(fd_.Get(), VIDIOC_DQBUF, &buffer)) {
        return errno == EAGAIN ? S_FALSE : DeviceError(errno, DeviceStep::streaming);
    }
    if (buffer.index >= buffers_.size()) return MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED;
    queued_[buffer.index] = false;
    if ((buffer.flags & V4L2_BUF_FLAG_ERROR) != 0) {
        *skipped = true;
        return QueueLocked(buffer.index, DeviceStep::streaming);
    }
    const UniqueMapping& mapping = buffers_[buffer.index];
    frame->data = static_cast<const uint8_t*>(mapping.Get());
    frame->bytesUsed = std::min<size_t>(buffer.bytesused, mapping.Length());
    frame->index = buffer.index;
    frame->timestampUs = static_cast<uint64_t>(buffer.timestamp.tv_sec) * 1000000u +
                         static_cast<uint64_t>(buffer.timestamp.tv_usec);
    frame->sequence = buffer.sequence;
    return S_OK;
}

HRESULT VideoStream::Requeue(const Dequeued& frame)
{
    if (!streaming_) return MF_E_INVALIDREQUEST;
    std::lock_guard<std::mutex> lock(queueMutex_);
    if (frame.index >= buffers_.size() || queued_[frame.index]) return E_INVALIDARG;
    return QueueLocked(frame.index, DeviceStep::streaming);
}

size_t VideoStream::QueuedCount() const
{
    std::lock_guard<std::mutex> lock(queueMutex_);
    return static_cast<size_t>(std::count(queued_.begin(), queued_.end(), true));
}

void VideoStream::Stop()
{
    if (streaming_) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        Ioctl(fd_.Get(), VIDIOC_STREAMOFF, &type);
        streaming_ = false;
    }
    // The driver frees its buffers only once nothing maps them.
    buffers_.clear();
    queued_.clear();
    if (buffersRequested_) {
        v4l2_requestbuffers request = MmapRequest(0);
        Ioctl(fd_.Get(), VIDIOC_REQBUFS, &request);
        buffersRequested_ = false;
    }
    width_ = height_ = pixelFormat_ = bytesPerLine_ = sizeImage_ = 0;
}

void VideoStream::Close()
{
    Stop();
    fd_.Reset();
}

}  // namespace lumicap::v4l2
