#include "full_road.h"

#include "capture/capture_manager.h"
#include "interface/module_state.h"
#include "platform/virtual/virtual_platform.h"
#include "platform/media_foundation/media_type.h"

namespace lumicap::reliability {
namespace {

CaptureManager* Manager() { return Module().theManager.get(); }

bool Previewing() { return Manager() && Manager()->isPreviewing; }

bool PhotoPending() { return Manager() && Manager()->isPhotoPending; }

// Read without counting, so looking does not change the operation log.
GUID OpenedSubtype()
{
    GUID subtype = GUID_NULL;
    const virt::EngineState engine = virt::GetEngineState();
    if (engine.initialized && engine.appliedType) {
        virt::GetGUIDQuietly(engine.appliedType.Get(), MF_MT_SUBTYPE, &subtype);
    }
    return subtype;
}

bool IsJpeg(const BYTE* data, INT32 size)
{
    return data && size >= 4 && data[0] == 0xFF && data[1] == 0xD8 && data[size - 2] == 0xFF && data[size - 1] == 0xD9;
}

class RoadRunner {
public:
    explicit RoadRunner(RoadHost& host) : host_(host) {}

    RoadRecord Run()
    {
        ::SetLogCallback(RecordLine);
        Do(Step::kCreateInstance, [&] { ::CreateInstance(host_.Window()); });
        Do(Step::kGetCameraList, [&] { ListCameras(); });
        Do(Step::kInitializeCamera, [&] {
            record_.init = Initialize(kFrontCamera, record_.initEvent, record_.initReady);
        });
        Do(Step::kGetMediaTypeList, [&] { ListTypes(); });
        Do(Step::kStartPreview, [&] { StartPreview(); });
        Do(Step::kTakePhoto, [&] { TakePhoto(); });
        Do(Step::kGetLastPhoto, [&] { FetchPhoto(); });
        Do(Step::kStopPreview, [&] { StopPreview(); });
        Do(Step::kInitializeRearCamera, [&] {
            record_.rearInit = Initialize(kRearCamera, record_.rearEvent, record_.rearReady);
            record_.rearSubtype = OpenedSubtype();
        });
        return record_;
    }

private:
    template <typename Action>
    void Do(Step step, Action&& action)
    {
        if (!record_.hungAt.empty()) return;
        const size_t firstLine = LoggedLines().size();
        current_ = step;
        action();
        StepRecord& done = record_.steps[static_cast<size_t>(step)];
        done.operationsAtEnd = virt::OperationCount();
        done.log.assign(LoggedLines().begin() + static_cast<std::ptrdiff_t>(firstLine), LoggedLines().end());
        record_.stepsRun = static_cast<size_t>(step) + 1;
    }

    // Waits for the one engine event an accepted request brings.
    bool AwaitEvent(REFGUID type)
    {
        if (host_.PumpUntilEvent(type)) return true;
        record_.hungAt = StepName(current_);
        return false;
    }

    void ListCameras()
    {
        SAFEARRAY* names = nullptr;
        ::GetCameraList(&names);
        record_.camerasNull = names == nullptr;
        record_.cameras = TakeStrings(names);
    }

    HRESULT Initialize(const char* name, bool& event, bool& ready)
    {
        const unsigned long long notices = host_.ReadyNotices();
        const HRESULT hr = ::InitializeCamera(Wide(name).c_str());
        // Only an accepted set-up reports back.
        if (SUCCEEDED(hr)) event = AwaitEvent(MF_CAPTURE_ENGINE_INITIALIZED);
        ready = host_.ReadyNotices() > notices;
        return hr;
    }

    void ListTypes()
    {
        SAFEARRAY* types = nullptr;
        ::GetMediaTypeList(&types);
        record_.typesNull = types == nullptr;
        record_.types = TakeStrings(types);
    }

    void StartPreview()
    {
        record_.preview = ::StartPreview(kRoadFormat, host_.Window());
        if (SUCCEEDED(record_.preview)) record_.previewEvent = AwaitEvent(MF_CAPTURE_ENGINE_PREVIEW_STARTED);
        record_.previewing = Previewing();
    }

    void TakePhoto()
    {
        record_.previewingBeforePhoto = Previewing();
        const unsigned long long notices = host_.PhotoNotices();
        ::TakePhotoAsync();
        record_.photoRequested = PhotoPending();
        if (record_.photoRequested) record_.photoEvent = AwaitEvent(MF_CAPTURE_ENGINE_PHOTO_TAKEN);
        record_.photoNotice = host_.PhotoNotices() > notices;
        record_.photoStillPending = PhotoPending();
    }

    void FetchPhoto()
    {
        BYTE* photo = nullptr;
        INT32 size = -1;
        ::GetLastPhoto(&photo, &size);
        record_.photoSize = size;
        record_.photoWritten = photo != nullptr;
        record_.photoIsJpeg = IsJpeg(photo, size);
        ::FreePhotoMemory();
    }

    void StopPreview()
    {
        record_.previewingBeforeStop = Previewing();
        ::StopPreview();
        record_.stopAccepted = record_.previewingBeforeStop && !Previewing();
        if (record_.stopAccepted) record_.stopEvent = AwaitEvent(MF_CAPTURE_ENGINE_PREVIEW_STOPPED);
    }

    RoadHost& host_;
    RoadRecord record_;
    Step current_ = Step::kCreateInstance;
};

}  // namespace

const char* StepName(Step step)
{
    static const char* const kNames[kStepCount] = {
        "CreateInstance", "GetCameraList",  "InitializeCamera", "GetMediaTypeList",          "StartPreview",
        "TakePhotoAsync", "GetLastPhoto",   "StopPreview",      "InitializeCamera(rear)",
    };
    return kNames[static_cast<size_t>(step)];
}

RoadRecord RunFullRoad(RoadHost& host) { return RoadRunner(host).Run(); }

Step StepOfOperation(const RoadRecord& record, unsigned long long position)
{
    for (size_t i = 0; i < record.stepsRun; ++i) {
        if (position < record.steps[i].operationsAtEnd) return static_cast<Step>(i);
    }
    return Step::kInitializeRearCamera;
}

}  // namespace lumicap::reliability
