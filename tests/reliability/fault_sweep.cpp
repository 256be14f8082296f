// The fault sweep: the whole host road on the virtual platform, once clean to count its platform
// operations, then once for every N with the Nth operation failing. Each run must answer as the
// contract says for that failure, must neither crash nor hang, must recover once the fault is gone,
// and must leave no platform object alive after the module is torn down.
#include "full_road.h"

#include "platform/virtual/virtual_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace lumicap::reliability {
namespace {

// HRESULT_FROM_WIN32(ERROR_GEN_FAILURE): no code path of the library makes it up by itself.
constexpr HRESULT kFailure = static_cast<HRESULT>(0x8007001F);
// The last error a failed CreateEventW leaves, and the result it must become.
constexpr DWORD kLastError = ERROR_NOT_ENOUGH_MEMORY;
constexpr HRESULT kLastErrorResult = static_cast<HRESULT>(0x80070008);
constexpr HRESULT kNoCamera = static_cast<HRESULT>(0x8007048F);  // HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)

// The operation that failed, and where on the road.
struct Fault {
    unsigned long long n = 0;  // 1-based position in the operation log
    Step step = Step::kCreateInstance;
    std::string operation;
    unsigned occurrence = 0;  // of this operation's name within the step, from 0
};

std::string Hex(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

StepRecord& StepOf(RoadRecord& record, Step step) { return record.steps[static_cast<size_t>(step)]; }

std::vector<Text>& LogOf(RoadRecord& record, Step step) { return StepOf(record, step).log; }

bool StartsWith(const Text& text, const Text& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

// The road after the photo request was refused or never made.
void ExpectNoPhoto(RoadRecord& expected)
{
    expected.photoRequested = false;
    expected.photoEvent = false;
    expected.photoNotice = false;
    expected.photoStillPending = false;
    expected.photoSize = 0;
    expected.photoWritten = false;
    expected.photoIsJpeg = false;
}

// The road once the library does not consider the preview running: no photo, nothing to stop.
void ExpectNoPreviewAfterStart(RoadRecord& expected)
{
    expected.previewing = false;
    expected.previewingBeforePhoto = false;
    ExpectNoPhoto(expected);
    LogOf(expected, Step::kTakePhoto).clear();
    expected.previewingBeforeStop = false;
    expected.stopAccepted = false;
    expected.stopEvent = false;
}

void ExpectFailedSetUp(RoadRecord& expected, HRESULT hr)
{
    expected.init = hr;
    expected.initEvent = false;
    expected.initReady = false;
    expected.types.clear();
    expected.preview = MF_E_NOT_INITIALIZED;
    expected.previewEvent = false;
    ExpectNoPreviewAfterStart(expected);
}

bool IsEnumeration(const Fault& fault)
{
    return fault.operation == "MFEnumDeviceSources" || fault.operation == "IMFAttributes::SetGUID" ||
           (fault.operation == "MFCreateAttributes" && fault.occurrence == 0);
}

bool IsEventRead(const Fault& fault) { return fault.operation.rfind("IMFMediaEvent::", 0) == 0; }

// The first look at an event's type is the callback's own, on the engine's thread, before it posts the
// notice; the second is the library's, when the host hands the event back.
bool IsCallbacksTypeRead(const Fault& fault)
{
    return fault.operation == "IMFMediaEvent::GetExtendedType" && fault.occurrence == 0;
}

bool IsHandlersTypeRead(const Fault& fault)
{
    return fault.operation == "IMFMediaEvent::GetExtendedType" && fault.occurrence == 1;
}


// The log of GetCameraList with one camera attribute unreadable: its value shows empty (the category
// as GUID_NULL, whose name is not logged).
void ExpectUnreadableCameraAttribute(std::vector<Text>& log, const Text& prefix, unsigned camera, const Text& shown)
{
    unsigned seen = 0;
    for (auto line = log.begin(); line != log.end(); ++line) {
        if (!StartsWith(*line, prefix) || seen++ != camera) continue;
        *line = prefix + shown;
        const auto next = line + 1;
        if (next != log.end() && StartsWith(*next, Wide("Camera category name: "))) log.erase(next);
        return;
    }
}

void PredictCameraList(RoadRecord& expected, const Fault& fault)
{
    std::vector<Text>& log = LogOf(expected, Step::kGetCameraList);
    if (IsEnumeration(fault)) {
        expected.cameras.clear();
        log = {Wide("GetCameraList")};
    } else if (fault.operation == "IMFActivate::GetAllocatedString") {
        // Each camera's link is read, then its name.
        const unsigned camera = fault.occurrence / 2;
        if (fault.occurrence % 2 == 0) {
            ExpectUnreadableCameraAttribute(log, Wide("Camera symbolic link: "), camera, Text());
        } else {
            expected.cameras[camera].clear();
            ExpectUnreadableCameraAttribute(log, Wide("Camera name: "), camera, Text());
        }
    } else if (fault.operation == "IMFActivate::GetGUID") {
        ExpectUnreadableCameraAttribute(log, Wide("Camera category GUID: "), fault.occurrence,
                                        Wide("{00000000-0000-0000-0000-000000000000}"));
    } else {
        ADD_FAILURE() << "GetCameraList made an unexpected operation " << fault.operation;
    }
}

// InitializeCamera's answer for a fault in its own step, and whether its engine event and notice come.
struct SetUpAnswer {
    HRESULT hr = S_OK;
    bool ready = true;
    bool fellBackToFront = false;
};

SetUpAnswer PredictSetUp(const Fault& fault)
{
    if (IsEnumeration(fault)) return {kNoCamera, false};
    if (fault.operation == "IMFActivate::GetAllocatedString") {
        // Without the wanted camera's name the choice stays the earlier one: camera 0.
        return {S_OK, true, fault.occurrence == 1};
    }
    // Tearing the earlier set-up down is not part of building the new one, and the video device is
    // optional to the engine: without it the camera works all the same.
    if (fault.operation == "D3D11CreateDevice" || fault.operation == "ID3D11Device::QueryInterface(ID3D10Multithread)" ||
        fault.operation == "MFCreateDXGIDeviceManager" || fault.operation == "IMFDXGIDeviceManager::ResetDevice") {
        return {};
    }
    if (fault.operation == "CreateEventW") return {kLastErrorResult, false};
    if (IsEventRead(fault)) return {S_OK, !IsCallbacksTypeRead(fault)};
    return {kFailure, false};
}

void PredictFrontSetUp(RoadRecord& expected, const Fault& fault)
{
    const SetUpAnswer answer = PredictSetUp(fault);
    if (FAILED(answer.hr)) {
        ExpectFailedSetUp(expected, answer.hr);
        return;
    }
    expected.initReady = answer.ready;
}

void PredictRearSetUp(RoadRecord& expected, const Fault& fault)
{
    const SetUpAnswer answer = PredictSetUp(fault);
    expected.rearInit = answer.hr;
    expected.rearEvent = SUCCEEDED(answer.hr);
    expected.rearReady = SUCCEEDED(answer.hr) && answer.ready;
    if (FAILED(answer.hr)) expected.rearSubtype = GUID_NULL;
    if (answer.fellBackToFront) expected.rearSubtype = MFVideoFormat_YUY2;
}

// Where the size ends in a catalogue line: "640 X 480" in "640 X 480 YUY2 FPS 30".
size_t SizeEnd(const Text& line) { return line.find(static_cast<WCHAR>(' '), line.find(Wide(" X ")) + 3); }

// A failed read ends the walk over the formats, except the frame size: that line shows the size read
// before it ("0 X 0" for the first).
void PredictMediaTypes(RoadRecord& expected, const Fault& fault)
{
    std::vector<Text>& types = expected.types;
    const auto keep = [&](size_t count) { types.resize(std::min(types.size(), count)); };
    if (fault.operation == "IMFCaptureEngine::GetSource") {
        keep(0);
    } else if (fault.operation == "IMFCaptureSource::GetAvailableDeviceMediaType" ||
               fault.operation == "IMFMediaType::GetGUID") {
        keep(fault.occurrence);
    } else if (fault.operation == "IMFMediaType::GetUINT64" && fault.occurrence % 2 == 1) {
        keep(fault.occurrence / 2);
    } else if (fault.operation == "IMFMediaType::GetUINT64") {
        const size_t line = fault.occurrence / 2;
        const Text previous = line == 0 ? Wide("0 X 0") : types[line - 1].substr(0, SizeEnd(types[line - 1]));
        types[line] = previous + types[line].substr(SizeEnd(types[line]));
    } else {
        ADD_FAILURE() << "GetMediaTypeList made an unexpected operation " << fault.operation;
    }
}

void PredictPreview(RoadRecord& expected, const Fault& fault)
{
    // The sink converts whatever the camera delivers, so a refused format does not stop the preview.
    if (fault.operation == "IMFCaptureSource::SetCurrentDeviceMediaType") return;
    if (IsEventRead(fault)) {
        // The start first reports the media type it set, then itself; the library's read of the
        // start's status is the fourth status read of the step. An answer whose status cannot be read
        // counts as a failed start.
        if (fault.operation == "IMFMediaEvent::GetStatus" && fault.occurrence == 3) ExpectNoPreviewAfterStart(expected);
        return;
    }
    expected.preview = kFailure;
    expected.previewEvent = false;
    ExpectNoPreviewAfterStart(expected);
}

void PredictPhoto(RoadRecord& expected, const Fault& fault)
{
    if (!IsEventRead(fault)) {
        // Refused, but asked for: still logged.
        ExpectNoPhoto(expected);
        // The new stream is made just before it is handed to the sink; a refusal from there on leaves it
        // empty, and GetLastPhoto answers an empty stream with an empty block to give back.
        expected.photoWritten = fault.operation == "IMFCapturePhotoSink::SetOutputByteStream" ||
                                fault.operation == "IMFCaptureEngine::TakePhoto";
        return;
    }
    if (IsCallbacksTypeRead(fault)) expected.photoNotice = false;
    // Without the event's type the library cannot know the photo is done.
    if (IsHandlersTypeRead(fault)) expected.photoStillPending = true;
}

void PredictStop(RoadRecord& expected, const Fault& fault)
{
    if (fault.operation != "IMFCaptureEngine::StopPreview") return;
    expected.stopAccepted = false;
    expected.stopEvent = false;
}

RoadRecord Predict(const RoadRecord& clean, const Fault& fault)
{
    RoadRecord expected = clean;
    switch (fault.step) {
    case Step::kGetCameraList:
        PredictCameraList(expected, fault);
        break;
    case Step::kInitializeCamera:
        PredictFrontSetUp(expected, fault);
        break;
    case Step::kGetMediaTypeList:
        PredictMediaTypes(expected, fault);
        break;
    case Step::kStartPreview:
        PredictPreview(expected, fault);
        break;
    case Step::kTakePhoto:
        PredictPhoto(expected, fault);
        break;
    case Step::kStopPreview:
        PredictStop(expected, fault);
        break;
    case Step::kInitializeRearCamera:
        PredictRearSetUp(expected, fault);
        break;
    default:
        ADD_FAILURE() << StepName(fault.step) << " made an unexpected operation " << fault.operation;
        break;
    }
    return expected;
}

// The observable answers of a road, one "name=value" each, in road order.
std::vector<std::pair<std::string, std::string>> Answers(const RoadRecord& r)
{
    const auto flag = [](bool b) { return std::string(b ? "yes" : "no"); };
    std::vector<std::pair<std::string, std::string>> answers = {
        {"cameras", r.camerasNull ? "null" : std::to_string(r.cameras.size())},
        {"init", Hex(r.init)},
        {"initEvent", flag(r.initEvent)},
        {"ready", flag(r.initReady)},
        {"types", r.typesNull ? "null" : std::to_string(r.types.size())},
        {"preview", Hex(r.preview)},
        {"previewEvent", flag(r.previewEvent)},
        {"previewing", flag(r.previewing)},
        {"photoRequested", flag(r.photoRequested)},
        {"photoEvent", flag(r.photoEvent)},
        {"photoNotice", flag(r.photoNotice)},
        {"photoStillPending", flag(r.photoStillPending)},
        {"photo", r.photoSize > 0 ? "bytes" : std::to_string(r.photoSize)},
        {"photoWritten", flag(r.photoWritten)},
        {"photoIsJpeg", flag(r.photoIsJpeg)},
        {"stopAccepted", flag(r.stopAccepted)},
        {"stopEvent", flag(r.stopEvent)},
        {"rearInit", Hex(r.rearInit)},
        {"rearReady", flag(r.rearReady)},
        {"rearSubtype", r.rearSubtype == GUID_NULL ? "none" : r.rearSubtype == MFVideoFormat_NV12 ? "NV12" : "other"},
    };
    for (size_t i = 0; i < kStepCount; ++i) {
        std::string lines;
        for (const Text& line : r.steps[i].log) lines += Narrow(line) + "|";
        answers.emplace_back(std::string("log:") + StepName(static_cast<Step>(i)), lines);
    }
    for (size_t i = 0; i < r.cameras.size(); ++i) answers.emplace_back("camera[" + std::to_string(i) + "]", Narrow(r.cameras[i]));
    for (size_t i = 0; i < r.types.size(); ++i) answers.emplace_back("type[" + std::to_string(i) + "]", Narrow(r.types[i]));
    return answers;
}

// Every answer that differs, as "name: observed (expected ...)"; empty when the road went as predicted.
std::vector<std::string> Differences(const RoadRecord& observed, const RoadRecord& expected)
{
    auto seen = Answers(observed);
    auto wanted = Answers(expected);
    std::map<std::string, std::string> wantedByName(wanted.begin(), wanted.end());
    std::vector<std::string> differences;
    for (const auto& [name, value] : seen) {
        const auto found = wantedByName.find(name);
        const std::string want = found == wantedByName.end() ? "(none)" : found->second;
        if (value != want) differences.push_back(name + ": " + value + " (expected " + want + ")");
        if (found != wantedByName.end()) wantedByName.erase(found);
    }
    for (const auto& [name, value] : wantedByName) differences.push_back(name + ": (none) (expected " + value + ")");
    return differences;
}

// What a run changed against the clean road, for counting distinct outcomes: the answers that
// differ, with lines of logs and lists only marked as changed.
std::string Outcome(const Fault& fault, const RoadRecord& observed, const RoadRecord& clean)
{
    std::string outcome = std::string(StepName(fault.step)) + " ->";
    const auto seen = Answers(observed);
    std::map<std::string, std::string> base;
    for (const auto& answer : Answers(clean)) base.insert(answer);
    std::string changedLines;
    for (const auto& [name, value] : seen) {
        const auto found = base.find(name);
        if (found != base.end() && found->second == value) continue;
        const bool line = name.rfind("log:", 0) == 0 || name.find('[') != std::string::npos;
        if (!line) {
            outcome += " " + name + "=" + value;
        } else if (changedLines.find(name.substr(0, name.find('['))) == std::string::npos) {
            changedLines += " " + name.substr(0, name.find('[')) + "~";
        }
    }
    return outcome + changedLines;
}

void ExpectRoadAsPredicted(const RoadRecord& observed, const RoadRecord& expected, const std::string& context)
{
    EXPECT_EQ(observed.hungAt, "") << context << ": a bounded wait ran out";
    for (const std::string& difference : Differences(observed, expected)) ADD_FAILURE() << context << ": " << difference;
}

class FaultSweep : public ::testing::Test {
protected:
    void SetUp() override { StartFresh(); }
    void TearDown() override { StartFresh(); }

    // The clean road from a fresh start, with its operation log; checks it is the full road.
    RoadRecord CleanRoad(std::vector<std::string>& operations)
    {
        RoadHost host;
        const RoadRecord clean = RunFullRoad(host);
        operations = virt::OperationLog();
        TearDownLibrary(host);
        EXPECT_EQ(virt::LiveObjectCount(), 0);
        return clean;
    }

    Fault Locate(const RoadRecord& clean, const std::vector<std::string>& operations, unsigned long long n)
    {
        Fault fault;
        fault.n = n;
        fault.step = StepOfOperation(clean, n - 1);
        fault.operation = operations[n - 1];
        const size_t stepIndex = static_cast<size_t>(fault.step);
        const unsigned long long first = stepIndex == 0 ? 0 : clean.steps[stepIndex - 1].operationsAtEnd;
        for (unsigned long long i = first; i + 1 < n; ++i) fault.occurrence += operations[i] == fault.operation;
        return fault;
    }
};

TEST_F(FaultSweep, EveryOperationOfTheRoadFailsInTurn)
{
    std::vector<std::string> operations;
    const RoadRecord clean = CleanRoad(operations);
    ASSERT_EQ(clean.hungAt, "");
    ASSERT_EQ(clean.cameras, (std::vector<Text>{Wide(kFrontCamera), Wide(kRearCamera)}));
    ASSERT_EQ(clean.types, (std::vector<Text>{Wide("640 X 480 YUY2 FPS 30"), Wide("1280 X 720 YUY2 FPS 10"),
                                              Wide("1280 X 720 MJPG FPS 30"), Wide("1920 X 1080 MJPG FPS 30"),
                                              Wide("1920 X 1080 NV12 FPS 29"), Wide("320 X 240  FPS 15")}));
    const std::pair<Step, const char*> kLines[] = {
        {Step::kCreateInstance, "CreateInstance"},
        {Step::kInitializeCamera, "InitializeCamera: Lumicap Virtual Camera"},
        {Step::kGetMediaTypeList, "GetMediaTypeList"},
        {Step::kStartPreview, "StartPreview media type index: 0"},
        {Step::kTakePhoto, "TakePhoto"},
        {Step::kStopPreview, "StopPreview"},
        {Step::kInitializeRearCamera, "InitializeCamera: Lumicap Virtual Rear Camera"},
    };
    for (const auto& [step, line] : kLines) {
        ASSERT_EQ(clean.steps[static_cast<size_t>(step)].log, std::vector<Text>{Wide(line)}) << StepName(step);
    }
    ASSERT_EQ(clean.steps[static_cast<size_t>(Step::kGetCameraList)].log.size(), 8u);
    ASSERT_EQ(clean.init, S_OK);
    ASSERT_TRUE(clean.initReady);
    ASSERT_EQ(clean.types.size(), 6u);
    ASSERT_EQ(clean.preview, S_OK);
    ASSERT_TRUE(clean.previewing);
    ASSERT_TRUE(clean.photoNotice);
    ASSERT_GT(clean.photoSize, 0);
    ASSERT_TRUE(clean.photoIsJpeg);
    ASSERT_TRUE(clean.stopAccepted);
    ASSERT_EQ(clean.rearInit, S_OK);
    ASSERT_TRUE(clean.rearReady);
    ASSERT_EQ(clean.rearSubtype, MFVideoFormat_NV12);
    const unsigned long long count = operations.size();
    ASSERT_GT(count, 0u);

    // A host that runs the road again after a failure sees the clean road, less the one-time log line.
    RoadRecord again = clean;
    LogOf(again, Step::kCreateInstance).clear();

    std::map<std::string, unsigned> outcomes;
    std::map<std::string, std::string> examples;
    for (unsigned long long n = 1; n <= count; ++n) {
        StartFresh();
        const Fault fault = Locate(clean, operations, n);
        const std::string context = "operation " + std::to_string(n) + " (" + fault.operation + " #" +
                                    std::to_string(fault.occurrence) + " in " + StepName(fault.step) + ")";
        RoadHost host;
        virt::FailNthOperation(n, kFailure, kLastError);
        const RoadRecord observed = RunFullRoad(host);

        // Up to the fault the road is the clean one, operation for operation.
        const std::vector<std::string> log = virt::OperationLog();
        ASSERT_GE(log.size(), n) << context;
        EXPECT_TRUE(std::equal(operations.begin(), operations.begin() + static_cast<std::ptrdiff_t>(n), log.begin()))
            << context << ": the road went another way before the fault";
        ExpectRoadAsPredicted(observed, Predict(clean, fault), context);

        const std::string outcome = Outcome(fault, observed, clean);
        ++outcomes[outcome];
        examples.emplace(outcome, fault.operation);

        // Recovery: the same host, the same module, the fault gone.
        virt::ClearFaults();
        ExpectRoadAsPredicted(RunFullRoad(host), again, context + ", then recovering");

        TearDownLibrary(host);
        EXPECT_EQ(virt::LiveObjectCount(), 0) << context << ": platform objects left alive";
        if (HasFatalFailure()) return;
    }

    std::printf("fault sweep: %llu runs (one per platform operation of the road), %zu distinct outcomes\n", count,
                outcomes.size());
    for (const auto& [outcome, runs] : outcomes) {
        std::printf("  %3u x %s  [e.g. %s]\n", runs, outcome.c_str(), examples[outcome].c_str());
    }
}

}  // namespace
}  // namespace lumicap::reliability
