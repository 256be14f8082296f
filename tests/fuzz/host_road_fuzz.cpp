// Random sequences of export calls, message pumping, injected platform faults, unplugged and replugged
// cameras and engine events on the virtual platform. Whatever the order, nothing may crash or hang,
// each export keeps its contract (the invariants below), and once the module is torn down no platform
// object may be left alive.
#include "fuzz_input.h"

#include "capture/capture_manager.h"
#include "interface/module_state.h"
#include "platform/virtual/virtual_platform.h"
#include "reliability/road_host.h"

#include <climits>
#include <string>
#include <vector>

namespace {

using lumicap::CaptureManager;
using lumicap::Module;
using lumicap::fuzz::Input;
using lumicap::fuzz::Require;
using lumicap::reliability::ClearLog;
using lumicap::reliability::LoggedLines;
using lumicap::reliability::RecordLine;
using lumicap::reliability::RoadHost;
using lumicap::reliability::TakeStrings;
using lumicap::reliability::Text;
using lumicap::reliability::Wide;
namespace virt = lumicap::virt;

// Enough steps to reach every state, few enough that one input stays quick.
constexpr unsigned kMaxSteps = 96;

CaptureManager* Manager() { return Module().theManager.get(); }
bool Previewing() { return Manager() && Manager()->isPreviewing; }
bool PhotoPending() { return Manager() && Manager()->isPhotoPending; }

const Text& OnlyLine()
{
    Require(LoggedLines().size() == 1, "one log line");
    return LoggedLines().front();
}

HRESULT PickStatus(Input& input)
{
    static const HRESULT kStatuses[] = {S_OK, E_FAIL, E_OUTOFMEMORY, MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED,
                                        MF_E_NOT_INITIALIZED, static_cast<HRESULT>(0x8007001F), S_FALSE};
    return kStatuses[input.Byte() % (sizeof kStatuses / sizeof kStatuses[0])];
}

const GUID& PickEventType(Input& input)
{
    static const GUID* const kTypes[] = {&MF_CAPTURE_ENGINE_INITIALIZED,  &MF_CAPTURE_ENGINE_PREVIEW_STARTED,
                                         &MF_CAPTURE_ENGINE_PREVIEW_STOPPED, &MF_CAPTURE_ENGINE_PHOTO_TAKEN,
                                         &MF_CAPTURE_ENGINE_ERROR,       &MF_CAPTURE_ENGINE_RECORD_STARTED,
                                         &GUID_NULL};
    return *kTypes[input.Byte() % (sizeof kTypes / sizeof kTypes[0])];
}

class Road {
public:
    explicit Road(Input& input) : input_(input) {}

    void Step()
    {
        ClearLog();
        switch (input_.Byte() % 16) {
        case 0: return CreateInstance();
        case 1: return GetCameraList();
        case 2: return InitializeCamera();
        case 3: return GetMediaTypeList();
        case 4: return StartPreview();
        case 5: return StopPreview();
        case 6: return TakePhoto();
        case 7: return FetchPhoto();
        case 8: return ForeignMessage();
        case 9: return Pump();
        case 10: return InjectFault();
        case 11: return virt::ClearFaults();
        case 12: return PlugOrUnplug();
        case 13: return RaiseEvent();
        case 14: return ControlEvents();
        default: return virt::SetNextEventStatus(PickEventType(input_), PickStatus(input_));
        }
    }

    RoadHost host;

private:
    void CreateInstance()
    {
        // Now and then no window at all: events then have nowhere to go and must not pile up.
        ::CreateInstance(input_.Byte() % 8 == 0 ? nullptr : host.Window());
    }

    void GetCameraList()
    {
        SAFEARRAY* names = nullptr;
        const bool wanted = input_.Byte() % 4 != 0;
        ::GetCameraList(wanted ? &names : nullptr);
        Require(!LoggedLines().empty() && LoggedLines().front() == Wide("GetCameraList"), "GetCameraList logs first");
        if (wanted) Require(names != nullptr, "a camera list is made");
        TakeStrings(names);
    }

    void InitializeCamera()
    {
        static const char* const kNames[] = {"Lumicap Virtual Camera", "Lumicap Virtual Rear Camera", "No Such Camera",
                                             ""};
        const uint8_t pick = input_.Byte() % 5;
        const Text name = pick < 4 ? Wide(kNames[pick]) : Text();
        const bool hadManager = Manager() != nullptr;
        const HRESULT hr = ::InitializeCamera(pick < 4 ? name.c_str() : nullptr);
        Require(OnlyLine() == Wide("InitializeCamera: ") + name, "InitializeCamera logs the name");
        if (!hadManager) Require(hr == MF_E_NOT_INITIALIZED, "InitializeCamera before CreateInstance");
        Require(!Previewing() && !PhotoPending(), "a new set-up starts with no preview and no photo");
    }

    void GetMediaTypeList()
    {
        const bool previewing = Previewing();
        SAFEARRAY* types = nullptr;
        const bool wanted = input_.Byte() % 4 != 0;
        ::GetMediaTypeList(wanted ? &types : nullptr);
        Require(OnlyLine() == Wide("GetMediaTypeList"), "GetMediaTypeList logs");
        if (wanted) Require(types != nullptr, "a format list is made");
        const std::vector<Text> lines = TakeStrings(types);
        if (previewing) Require(lines.empty(), "GetMediaTypeList is empty while previewing");
        if (!Manager()) Require(lines.empty(), "GetMediaTypeList is empty before CreateInstance");
    }

    void StartPreview()
    {
        static const INT32 kIndices[] = {0, 1, 2, 3, 4, 5, 6, -1, INT_MIN, INT_MAX};
        const INT32 index = kIndices[input_.Byte() % (sizeof kIndices / sizeof kIndices[0])];
        const bool previewing = Previewing();
        const bool hadManager = Manager() != nullptr;
        const HRESULT hr = ::StartPreview(index, input_.Byte() % 4 == 0 ? nullptr : host.Window());
        Require(OnlyLine() == Wide("StartPreview media type index: ") + Wide(std::to_string(index).c_str()),
                "StartPreview logs the index");
        if (!hadManager) Require(hr == MF_E_NOT_INITIALIZED, "StartPreview before CreateInstance");
        if (previewing) Require(hr == S_OK, "StartPreview while previewing");
        if (SUCCEEDED(hr)) Require(Previewing(), "a started preview counts as running");
    }

    void StopPreview()
    {
        const bool hadManager = Manager() != nullptr;
        ::StopPreview();
        Require(LoggedLines().size() == (hadManager ? 1u : 0u), "StopPreview logs once there is a manager");
        if (hadManager) Require(OnlyLine() == Wide("StopPreview"), "StopPreview's line");
    }

    void TakePhoto()
    {
        const bool previewing = Previewing();
        const bool pending = PhotoPending();
        ::TakePhotoAsync();
        if (pending) {
            Require(OnlyLine() == Wide("TakePhoto, already pending..."), "a pending photo refuses the next");
        } else if (previewing) {
            Require(OnlyLine() == Wide("TakePhoto"), "a photo asked for while previewing logs");
        } else {
            Require(LoggedLines().empty(), "TakePhoto logs only while previewing or pending");
        }
    }

    void FetchPhoto()
    {
        BYTE* const untouched = reinterpret_cast<BYTE*>(0x10);
        BYTE* photo = untouched;
        INT32 size = -1;
        ::GetLastPhoto(&photo, &size);
        Require(size >= 0, "photo size");
        // Size 0: no stream leaves the address alone; an empty stream hands out a block to give back.
        if (size == 0) {
            Require(photo == untouched || photo == Module().lastPhotoBuffer, "an empty photo is no stray block");
        }
        // Read while a photo is being written, the bytes may be a JPEG's beginning only.
        if (size >= 2) Require(photo[0] == 0xFF && photo[1] == 0xD8, "a photo starts as a JPEG");
        ::FreePhotoMemory();
        Require(Module().lastPhotoBuffer == nullptr, "FreePhotoMemory forgets the block");
    }

    void ForeignMessage()
    {
        // Any number with any value the library never posted (an odd value is no object's address),
        // WM_CAMERA_EVENT included.
        const UINT message = input_.Byte() % 4 == 0 ? WM_CAMERA_EVENT : input_.Dword();
        const bool previewing = Previewing();
        const bool pending = PhotoPending();
        ::OnCaptureEvent(message, static_cast<WPARAM>(input_.Dword()) | 1);
        Require(Previewing() == previewing && PhotoPending() == pending, "foreign messages change nothing");
    }

    void Pump()
    {
        const unsigned milliseconds = input_.Byte() % 16;
        if (milliseconds == 0) return host.PumpPending();
        host.PumpUntil([] { return false; }, std::chrono::milliseconds(milliseconds));
    }

    void InjectFault()
    {
        static const std::vector<std::string> names = virt::OperationNames();
        const HRESULT hr = PickStatus(input_) == S_OK ? E_FAIL : PickStatus(input_);
        if (!FAILED(hr)) return;
        if (input_.Byte() % 2) {
            virt::FailOperation(names[input_.Word() % names.size()], hr, input_.Byte() % 4, input_.Byte() % 16);
        } else {
            virt::FailNthOperation(1 + input_.Byte() % 64, hr, input_.Byte() % 16);
        }
    }

    void PlugOrUnplug()
    {
        switch (input_.Byte() % 3) {
        case 0:
            virt::RemoveCamera(u"Lumicap Virtual Camera");
            break;
        case 1:
            virt::RemoveCamera(u"Lumicap Virtual Rear Camera");
            break;
        default:
            virt::SetCameras(virt::DefaultCameras());
            break;
        }
    }

    void RaiseEvent()
    {
        const GUID& type = PickEventType(input_);
        virt::RaiseEngineEvent(type, PickStatus(input_));
    }

    void ControlEvents()
    {
        const uint8_t pick = input_.Byte();
        if (pick % 2) {
            virt::HoldEvents(pick % 4 == 1);
        } else {
            virt::SetEventDelay(pick % 3);
        }
    }

    Input& input_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    lumicap::reliability::StartFresh();
    Input input(data, size);
    {
        Road road(input);
        ::SetLogCallback(RecordLine);
        for (unsigned step = 0; step < kMaxSteps && !input.Empty(); ++step) road.Step();

        virt::ClearFaults();
        virt::HoldEvents(false);
        virt::SetEventDelay(0);
        road.host.PumpPending();
        lumicap::reliability::TearDownLibrary(road.host);
    }
    Require(virt::LiveObjectCount() == 0, "no platform object outlives the tear-down");
    return 0;
}
