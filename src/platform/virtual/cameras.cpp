// The camera set: the default cameras and the control calls that plug and unplug cameras.
#include "virtual_platform.h"
#include "platform/capture_engine/camera_backend.h"
#include "platform/no_destructor.h"

#include <algorithm>

namespace lumicap::virt {
namespace {

using Records = std::vector<std::shared_ptr<CameraRecord>>;

Records MakeRecords(std::vector<Camera> cameras)
{
    Records records;
    records.reserve(cameras.size());
    for (Camera& camera : cameras) records.push_back(std::make_shared<CameraRecord>(std::move(camera)));
    return records;
}

class CameraRegistry {
public:
    CameraRegistry() : records_(MakeRecords(DefaultCameras())) {}

    Records Plugged() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Records plugged;
        std::copy_if(records_.begin(), records_.end(), std::back_inserter(plugged),
                     [](const std::shared_ptr<CameraRecord>& record) { return record->IsPlugged(); });
        return plugged;
    }

    // Returns the cameras that were plugged before.
    Records Replace(Records records)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        records_.swap(records);
        return records;
    }

    void Add(std::shared_ptr<CameraRecord> record)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        records_.push_back(std::move(record));
    }

    Records TakeNamed(const WideString& friendlyName)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto named = std::stable_partition(records_.begin(), records_.end(), [&](const auto& record) {
            return record->Description().friendlyName != friendlyName;
        });
        Records taken(named, records_.end());
        records_.erase(named, records_.end());
        return taken;
    }

private:
    mutable std::mutex mutex_;
    Records records_;
};

CameraRegistry& Registry()
{
    static NoDestructor<CameraRegistry> registry;
    return registry.Get();
}

WideString SymbolicLink(int index)
{
    return TEXT("\\\\?\\lumicap#virtual#") + WideString(1, static_cast<WCHAR>('0' + index)) +
           TEXT("#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global");
}

Format MakeFormat(UINT32 width, UINT32 height, const GUID& subtype, UINT32 numerator, UINT32 denominator)
{
    Format format;
    format.width = width;
    format.height = height;
    format.subtype = subtype;
    format.rateNumerator = numerator;
    format.rateDenominator = denominator;
    return format;
}

Camera MakeCamera(WideString name, int index, const GUID& category, std::vector<Format> formats)
{
    Camera camera;
    camera.friendlyName = std::move(name);
    camera.symbolicLink = SymbolicLink(index);
    camera.category = category;
    camera.formats = std::move(formats);
    camera.hasControls = true;
    return camera;
}

// What tells one camera from another for watchers: the same name and link is the same device.
using CameraKey = std::pair<WideString, WideString>;

std::vector<CameraKey> Keys(const Records& records)
{
    std::vector<CameraKey> keys;
    keys.reserve(records.size());
    for (const auto& record : records) {
        if (record->IsPlugged()) keys.emplace_back(record->Description().friendlyName, record->Description().symbolicLink);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

// Whether every camera of part (counted with repeats) is in whole: nothing of part left or came.
bool Covers(const std::vector<CameraKey>& whole, const std::vector<CameraKey>& part)
{
    return std::includes(whole.begin(), whole.end(), part.begin(), part.end());
}

}  // namespace

std::vector<Camera> DefaultCameras()
{
    std::vector<Camera> cameras;
    cameras.push_back(MakeCamera(TEXT("Lumicap Virtual Camera"), 0, CLSID_VideoInputDeviceCategory,
                                 {
                                     MakeFormat(640, 480, MFVideoFormat_YUY2, 30, 1),
                                     MakeFormat(1280, 720, MFVideoFormat_YUY2, 10, 1),
                                     MakeFormat(1280, 720, MFVideoFormat_MJPG, 30, 1),
                                     MakeFormat(1920, 1080, MFVideoFormat_MJPG, 30, 1),
                                     MakeFormat(1920, 1080, MFVideoFormat_NV12, 30000, 1001),
                                     MakeFormat(320, 240, MFVideoFormat_RGB24, 15, 1),
                                 }));
    cameras.push_back(MakeCamera(TEXT("Lumicap Virtual Rear Camera"), 1, kCategoryVideoCamera,
                                 {
                                     MakeFormat(640, 480, MFVideoFormat_NV12, 15, 1),
                                     MakeFormat(2592, 1944, MFVideoFormat_MJPG, 5, 1),
                                 }));
    return cameras;
}

std::vector<std::shared_ptr<CameraRecord>> PluggedCameras() { return Registry().Plugged(); }

// Cameras left out of the new set are forgotten, not unplugged: engines already running on them go on.
void SetCameras(std::vector<Camera> cameras)
{
    Records records = MakeRecords(std::move(cameras));
    std::vector<CameraKey> after = Keys(records);
    std::vector<CameraKey> before = Keys(Registry().Replace(std::move(records)));
    if (!Covers(after, before)) TellDeviceChange(false);
    if (!Covers(before, after)) TellDeviceChange(true);
}

void AddCamera(Camera camera)
{
    Registry().Add(std::make_shared<CameraRecord>(std::move(camera)));
    TellDeviceChange(true);
}

bool SetCameraControls(const WideString& friendlyName, bool enabled)
{
    bool known = false;
    for (const auto& record : Registry().Plugged()) {
        if (record->Description().friendlyName != friendlyName) continue;
        record->SetHasControls(enabled);
        known = true;
    }
    return known;
}

int RemoveCamera(const WideString& friendlyName)
{
    const Records removed = Registry().TakeNamed(friendlyName);
    // Outside the registry's lock: listeners may enumerate again.
    for (const auto& record : removed) record->Unplug();
    if (!removed.empty()) TellDeviceChange(false);
    return static_cast<int>(removed.size());
}

}  // namespace lumicap::virt
