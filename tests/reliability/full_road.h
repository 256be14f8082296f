// The whole road a host takes, pumping messages as a host does, with what each export answered and
// how many platform operations each step made. A step whose request failed is not waited for: the
// export's result or the library's state says no event will come.
#pragma once

#include "road_host.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace lumicap::reliability {

enum class Step {
    kCreateInstance,
    kGetCameraList,
    kInitializeCamera,
    kGetMediaTypeList,
    kStartPreview,
    kTakePhoto,
    kGetLastPhoto,
    kStopPreview,
    kInitializeRearCamera,
};
inline constexpr size_t kStepCount = 9;
const char* StepName(Step step);

inline constexpr char kFrontCamera[] = "Lumicap Virtual Camera";
inline constexpr char kRearCamera[] = "Lumicap Virtual Rear Camera";
// The road previews and photographs camera 0's first format, 640 X 480, so each run is quick.
inline constexpr INT32 kRoadFormat = 0;

// A result not yet given: the export was not called (E_PENDING's value).
inline constexpr HRESULT kNotCalled = static_cast<HRESULT>(0x8000000A);

struct StepRecord {
    unsigned long long operationsAtEnd = 0;  // virt::OperationCount() once the step and its wait ended
    std::vector<Text> log;                   // the lines the library logged during the step
};

struct RoadRecord {
    bool camerasNull = false;
    std::vector<Text> cameras;

    HRESULT init = kNotCalled;
    bool initEvent = false;  // the engine event of the set-up was handled
    bool initReady = false;  // and WM_CAMERA_READY came before it

    bool typesNull = false;
    std::vector<Text> types;

    HRESULT preview = kNotCalled;
    bool previewEvent = false;
    bool previewing = false;  // the library's view once the engine's answer was handled

    bool previewingBeforePhoto = false;
    bool photoRequested = false;  // the request was accepted (the photo is pending)
    bool photoEvent = false;
    bool photoNotice = false;
    bool photoStillPending = false;

    INT32 photoSize = -1;
    bool photoWritten = false;  // GetLastPhoto stored an address
    bool photoIsJpeg = false;   // starts with SOI and ends with EOI

    bool previewingBeforeStop = false;
    bool stopAccepted = false;  // the library stopped the preview and waits for the engine's answer
    bool stopEvent = false;

    HRESULT rearInit = kNotCalled;
    bool rearEvent = false;
    bool rearReady = false;
    GUID rearSubtype = GUID_NULL;  // the subtype of the opened camera's current format

    // The step at which a bounded wait ran out (a hang), or empty.
    std::string hungAt;
    std::array<StepRecord, kStepCount> steps{};
    size_t stepsRun = 0;
};

// Runs the road on the host's window. Log lines go to RecordLine.
RoadRecord RunFullRoad(RoadHost& host);

// The step whose operations include the operation at this 0-based position of the log.
Step StepOfOperation(const RoadRecord& record, unsigned long long position);

}  // namespace lumicap::reliability
