#include "support/test_host.h"

#include "capture/capture_manager.h"
#include "platform/virtual/virtual_platform.h"

namespace lumicap::testing {
namespace {

CaptureManager& Manager() { return *Module().theManager; }

using CaptureSetUp = HostTest;

TEST_F(CaptureSetUp, CreateInstanceOnceKeepsTheFirstWindow)
{
    ::SetLogCallback(RecordLog);
    ::CreateInstance(window_);
    HWND other = LumicapCreateMessageWindow();
    ::CreateInstance(other);
    EXPECT_EQ(Manager().eventWindow, window_);
    EXPECT_EQ(LogLines(), std::vector<Text>{T("CreateInstance")});
    DestroyWindow(other);
}

TEST_F(CaptureSetUp, InitializeCameraBeforeCreateInstanceFailsWithoutTouchingThePlatform)
{
    ::SetLogCallback(RecordLog);
    const auto before = virt::OperationCount();
    EXPECT_EQ(::InitializeCamera(T("Lumicap Virtual Camera").c_str()), MF_E_NOT_INITIALIZED);
    EXPECT_EQ(virt::OperationCount(), before);
    EXPECT_EQ(LogLines(), std::vector<Text>{T("InitializeCamera: Lumicap Virtual Camera")});
}

TEST_F(CaptureSetUp, DefaultCameraReportsReadyBeforeItsEvent)
{
    ::SetLogCallback(RecordLog);
    OpenCamera();
    ASSERT_GE(Messages().size(), 2u);
    EXPECT_EQ(Messages()[0], static_cast<UINT>(WM_CAMERA_READY));
    EXPECT_EQ(Messages()[1], static_cast<UINT>(WM_CAMERA_EVENT));
    EXPECT_EQ(LogLines(), (std::vector<Text>{T("CreateInstance"), T("InitializeCamera: Lumicap Virtual Camera")}));
    EXPECT_TRUE(Manager().engine);
    EXPECT_TRUE(virt::GetEngineState().initialized);
    // The engine uses the device from its own threads: the set-up turned its protection on.
    ComPtr<ID3D10Multithread> multithread;
    ASSERT_EQ(Module().d3dDevice->QueryInterface(IID_ID3D10Multithread, multithread.PutVoid()), S_OK);
    EXPECT_TRUE(multithread->GetMultithreadProtected());
}

TEST_F(CaptureSetUp, SecondInitializeTearsTheFirstSetUpDown)
{
    OpenCamera();
    const long live = virt::LiveObjectCount();
    ASSERT_EQ(::InitializeCamera(T("Lumicap Virtual Rear Camera").c_str()), S_OK);
    EXPECT_FALSE(Manager().isPreviewing);
    ASSERT_TRUE(PumpUntilMessage(WM_CAMERA_READY));
    PumpFor(std::chrono::milliseconds(50));
    // One set of objects, not two.
    EXPECT_LE(virt::LiveObjectCount(), live);
    ResetModule();
    PumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(virt::LiveObjectCount(), 0);
}

struct StepFailure {
    const char* operation;
    unsigned nth;
    bool engineMade;
};

class SetUpStepFails : public HostTest, public ::testing::WithParamInterface<StepFailure> {};

TEST_P(SetUpStepFails, ReturnsThatStepsCodeAndKeepsEarlierObjectsUntilTheNextTearDown)
{
    const StepFailure& step = GetParam();
    ::CreateInstance(window_);
    const HRESULT failure = static_cast<HRESULT>(0x80070000 | 0x1234);
    virt::FailOperation(step.operation, failure, step.nth);
    EXPECT_EQ(::InitializeCamera(T("Lumicap Virtual Camera").c_str()), failure) << step.operation;
    EXPECT_EQ(static_cast<bool>(Manager().engine), step.engineMade) << step.operation;
    EXPECT_TRUE(Manager().callback) << step.operation;
    EXPECT_TRUE(Manager().stateEvent) << step.operation;

    virt::ClearFaults();
    ASSERT_EQ(::InitializeCamera(T("Lumicap Virtual Camera").c_str()), S_OK);
    EXPECT_TRUE(PumpUntilMessage(WM_CAMERA_READY));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SetUpStepFails,
    ::testing::Values(// The first attribute store belongs to the enumeration.
                      StepFailure{"MFCreateAttributes", 2, false}, StepFailure{"IMFAttributes::SetUINT32", 0, false},
                      StepFailure{"IMFAttributes::SetUnknown", 0, false},
                      StepFailure{"CoCreateInstance", 0, false},
                      StepFailure{"IMFCaptureEngineClassFactory::CreateInstance", 0, false},
                      StepFailure{"IMFCaptureEngine::Initialize", 0, true}));

struct EventFailure {
    DWORD lastError;
    HRESULT expected;
};

class EventCreationFails : public HostTest, public ::testing::WithParamInterface<EventFailure> {};

TEST_P(EventCreationFails, ReportsTheLastErrorAndBuildsNothing)
{
    ::CreateInstance(window_);
    virt::FailOperation("CreateEventW", E_FAIL, 0, GetParam().lastError);
    EXPECT_EQ(::InitializeCamera(T("Lumicap Virtual Camera").c_str()), GetParam().expected);
    EXPECT_FALSE(Manager().callback);
    EXPECT_FALSE(Manager().engine);
    EXPECT_FALSE(Module().d3dDevice);
}

INSTANTIATE_TEST_SUITE_P(LastErrors, EventCreationFails,
                         ::testing::Values(EventFailure{ERROR_NOT_ENOUGH_MEMORY, static_cast<HRESULT>(0x80070008)},
                                           EventFailure{ERROR_INVALID_HANDLE, static_cast<HRESULT>(0x80070006)},
                                           // No error code would read as success.
                                           EventFailure{0, E_FAIL}));

TEST_F(CaptureSetUp, NoCameraToChooseFailsAndTearsDownTheEarlierSetUp)
{
    OpenCamera();
    virt::SetCameras({});
    EXPECT_EQ(::InitializeCamera(T("Lumicap Virtual Camera").c_str()), HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_FALSE(Manager().engine);
    EXPECT_FALSE(Manager().callback);
    EXPECT_FALSE(Manager().stateEvent);
    EXPECT_FALSE(Module().deviceManager);
}

TEST_F(CaptureSetUp, UnpluggingTheOpenCameraEndsTheSetUpWhenItsErrorIsHandled)
{
    OpenCamera();
    ClearMessages();
    ASSERT_EQ(virt::RemoveCamera(T("Lumicap Virtual Camera")), 1);
    ASSERT_TRUE(PumpUntil([] { return !Module().theManager->engine; }));
    EXPECT_FALSE(Manager().callback);
    EXPECT_FALSE(Manager().stateEvent);
    EXPECT_FALSE(Module().d3dDevice);
    // The error notice, then the event that tears the set-up down.
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_CAMERA_ERROR, WM_CAMERA_EVENT}));
}

TEST_F(CaptureSetUp, EngineCallbackInterfacesAndCount)
{
    auto* callback = new CaptureManager::CaptureEngineCB(window_, 1);
    void* object = nullptr;
    ASSERT_EQ(callback->QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(object, static_cast<void*>(static_cast<IMFCaptureEngineOnEventCallback*>(callback)));
    EXPECT_EQ(callback->Release(), 1u);
    ASSERT_EQ(callback->QueryInterface(IID_IMFCaptureEngineOnEventCallback, &object), S_OK);
    EXPECT_EQ(callback->Release(), 1u);
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(callback->QueryInterface(IID_IMFByteStream, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(callback->AddRef(), 2u);
    EXPECT_EQ(callback->Release(), 1u);
    // Freed here: a leak would show under the leak checker.
    EXPECT_EQ(callback->Release(), 0u);
}

}  // namespace
}  // namespace lumicap::testing
