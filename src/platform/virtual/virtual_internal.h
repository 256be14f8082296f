// What the pieces of the virtual platform share among themselves: fault checks, object counting, the
// camera registry behind the activation objects, media events and the engine factory.
#pragma once

#include "operation_names.h"
#include "virtual_platform.h"

#include <functional>
#include <memory>
#include <mutex>

namespace lumicap::virt {

// Counts one platform operation (its name is one of operation_names.h) and answers the fault injected
// for it, or S_OK. When the answer is a failure and lastError is given, it receives the injected last
// error code.
HRESULT CheckFault(const char* operation, DWORD* lastError = nullptr);

// Every virtual object holds one of these for its lifetime, so LiveObjectCount() sees leaks.
class LiveObject {
public:
    LiveObject();
    LiveObject(const LiveObject&);
    LiveObject& operator=(const LiveObject&) = default;
    ~LiveObject();
};

// A camera as the platform knows it while it is plugged in. Engines hold it through the activation
// object they were initialised with; Unplug() tells them it is gone.
class CameraRecord {
public:
    explicit CameraRecord(Camera description) : description_(std::move(description)) {}
    const Camera& Description() const { return description_; }

    // Listeners are called on the thread that unplugs the camera, outside the record's lock.
    using UnplugListener = std::function<void()>;
    int AddUnplugListener(UnplugListener listener);
    void RemoveUnplugListener(int id);
    void Unplug();
    bool IsPlugged() const;

private:
    Camera description_;
    mutable std::mutex mutex_;
    bool plugged_ = true;
    int nextId_ = 1;
    std::vector<std::pair<int, UnplugListener>> listeners_;
};

// The camera behind an activation object made by MFEnumDeviceSources, or null for anything else.
std::shared_ptr<CameraRecord> CameraFromActivate(IUnknown* activate);

// A device media type for one format, as a camera offers it.
HRESULT CreateFormatMediaType(const Format& format, IMFMediaType** mediaType);

// Reads and copies made by the platform itself: neither counted as operations nor subject to faults.
// They work on the platform's own attribute stores and media types.
HRESULT GetUINT64Quietly(IMFAttributes* attributes, REFGUID key, UINT64* value);
HRESULT GetGUIDQuietly(IMFAttributes* attributes, REFGUID key, GUID* value);
HRESULT CloneMediaTypeQuietly(IMFMediaType* source, IMFMediaType** copy);

// An engine event with MEExtendedType, the given extended type and status.
HRESULT CreateEngineEvent(REFGUID extendedType, HRESULT status, IMFMediaEvent** event);

// The capture engine class factory (IMFCaptureEngineClassFactory); CoCreateInstance hands it out.
HRESULT CreateCaptureEngineFactory(REFIID iid, void** factory);

// Events and status overrides set through the control API, read by the engines.
struct EventControl {
    bool hold = false;
    unsigned delayMilliseconds = 0;
};
EventControl CurrentEventControl();
PhotoWriteMode CurrentPhotoWriteMode();
// The status to report for the next event of this type (consumed), or S_OK.
HRESULT TakeNextEventStatus(REFGUID extendedType);

// Resets what the engine side keeps (called by Reset()).
void ResetEngines();

}  // namespace lumicap::virt
