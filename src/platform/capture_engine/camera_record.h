// A camera as the capture engine and device enumeration know it, whichever backend found it: its
// description (names, category, formats) and whether it is still plugged in.
#pragma once

#include "../platform.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace lumicap::virt {

// One device media type of a camera stream. A cleared has* flag leaves that attribute out of the type.
struct Format {
    UINT32 width = 0;
    UINT32 height = 0;
    GUID subtype = GUID_NULL;
    UINT32 rateNumerator = 30;
    UINT32 rateDenominator = 1;
    // The slowest and fastest rates the device can stream this type at, when it says (real cameras).
    UINT32 minRateNumerator = 0;
    UINT32 minRateDenominator = 0;
    bool hasFrameSize = true;
    bool hasFrameRate = true;
    bool hasSubtype = true;
    bool hasPixelAspectRatio = true;  // 1:1 when present
    bool hasInterlaceMode = true;     // progressive when present
    bool hasRateRange = false;        // MF_MT_FRAME_RATE_RANGE_MIN (the slowest) and _MAX (the rate)
};

// UTF-16 text, in the platform's own character type (wchar_t on Windows, char16_t elsewhere).
using WideString = std::basic_string<WCHAR>;

// A camera as device enumeration shows it. A cleared has* flag makes that attribute unreadable.
struct Camera {
    WideString friendlyName;
    WideString symbolicLink;
    GUID category = GUID_NULL;
    std::vector<Format> formats;
    // A separate photo stream (stream 1), as some cameras have: its formats, the first current at
    // start. Empty: the camera has stream 0 only, and the preferred photo stream is stream 0.
    std::vector<Format> photoFormats;
    // The device node a real camera is opened through; empty for the virtual cameras.
    std::string devicePath;
    bool hasFriendlyName = true;
    bool hasSymbolicLink = true;
    bool hasCategory = true;
    // A virtual camera's default control set, at first (LumicapVirtualSetCameraControls changes it).
    bool hasControls = false;
};

// How a camera behaves when an engine opens it: as a free camera, as one another application
// streams from (the preview start is accepted, then fails with MF_E_HW_MFT_FAILED_START_STREAMING
// and the engine reports an error with that code), or as one the privacy settings deny
// (initialisation reports E_ACCESSDENIED and the engine refuses every later request).
enum class CameraCondition { normal = 0, busy = 1, denied = 2 };

// A camera while it is plugged in. Engines hold it through the activation object they were
// initialised with; Unplug() tells them it is gone.
class CameraRecord {
public:
    explicit CameraRecord(Camera description)
        : description_(std::move(description)), hasControls_(description_.hasControls)
    {
    }
    const Camera& Description() const { return description_; }

    // Listeners are called on the thread that unplugs the camera, outside the record's lock.
    using UnplugListener = std::function<void()>;
    int AddUnplugListener(UnplugListener listener);
    void RemoveUnplugListener(int id);
    void Unplug();
    bool IsPlugged() const;

    // Whether set-ups opened on the camera from now on get the virtual cameras' default controls.
    void SetHasControls(bool hasControls) { hasControls_.store(hasControls, std::memory_order_relaxed); }
    bool HasControls() const { return hasControls_.load(std::memory_order_relaxed); }

private:
    Camera description_;
    std::atomic<bool> hasControls_;
    mutable std::mutex mutex_;
    bool plugged_ = true;
    int nextId_ = 1;
    std::vector<std::pair<int, UnplugListener>> listeners_;
};

}  // namespace lumicap::virt
