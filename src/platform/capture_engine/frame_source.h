// Where a capture engine's frames come from. The engine knows nothing else of its camera's pictures:
// the test pattern is one frame source, a device-backed one plugs in the same way.
#pragma once

#include "../platform.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace lumicap::virt {

// The format the preview streams in: the device subtype and the picture the sink asks for.
struct FrameFormat {
    UINT32 width = 0;
    UINT32 height = 0;
    GUID subtype = GUID_NULL;
    UINT32 rateNumerator = 30;
    UINT32 rateDenominator = 1;
};

// A frame to fill: width x height RGB32 pixels (0xXXRRGGBB: the top byte is RGB32's unused one, which
// a source may leave as its conversion does; what is shown or handed on ignores it), numbered from 0
// by the engine. The preview
// asks for fresh frames: a device-backed source waits (briefly) for one it has not delivered yet, so
// the preview runs at the device's pace; photos take the latest.
struct Frame {
    uint32_t* pixels = nullptr;
    UINT32 width = 0;
    UINT32 height = 0;
    uint64_t number = 0;
    bool fresh = false;
};

class FrameSource {
public:
    FrameSource() = default;
    FrameSource(const FrameSource&) = delete;
    FrameSource& operator=(const FrameSource&) = delete;
    virtual ~FrameSource() = default;

    // Brackets the preview's stream; called from one thread at a time.
    virtual HRESULT Start(const FrameFormat& format) = 0;
    virtual void Stop() = 0;
    // Fills the frame at its own size, already converted to RGB32. The preview and photos ask
    // from different threads, each with its own buffer; photos ask whether or not the preview runs.
    virtual HRESULT Deliver(const Frame& frame) = 0;
    // A photo the source makes itself, as a JPEG of the format's size: a camera that compresses its
    // frames hands them over as they are. E_NOTIMPL leaves the engine to encode a delivered frame.
    virtual HRESULT TakePhoto(const FrameFormat& format, std::vector<uint8_t>* jpeg)
    {
        (void)format;
        (void)jpeg;
        return E_NOTIMPL;
    }

    // Loss of the device: listeners hear of it once, on the thread that loses it, outside any lock
    // of the source. IsPresent is meant to be read after listening, so a loss is seen either way.
    using LossListener = std::function<void()>;
    virtual int AddLossListener(LossListener listener) = 0;
    virtual void RemoveLossListener(int id) = 0;
    virtual bool IsPresent() const = 0;
};

}  // namespace lumicap::virt
