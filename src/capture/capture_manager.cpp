#include "capture_manager.h"

#include "capture_control.h"
#include "posted_events.h"
#include "preview_options.h"
#include "discovery/camera_discovery.h"
#include "discovery/device_change_notices.h"
#include "interface/log.h"
#include "interface/module_state.h"
#include "platform/com_object.h"
#include "stream/memory_byte_stream.h"

#include <iterator>

namespace lumicap {
namespace {

constexpr D3D_FEATURE_LEVEL kFeatureLevels[] = {
    D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_1, D3D_FEATURE_LEVEL_10_0,
    D3D_FEATURE_LEVEL_9_3,  D3D_FEATURE_LEVEL_9_2,  D3D_FEATURE_LEVEL_9_1,
};

// A failed event creation with no last error would otherwise read as success.
HRESULT LastErrorResult()
{
    HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
    return FAILED(hr) ? hr : E_FAIL;
}

// Engine threads call the callback, and may still run its code after the last reference goes: once
// the library has handed one to an engine it must never be unloaded. Pinning cannot be undone, so a
// failure is only retried by the next set-up.
void PinLibrary()
{
    static bool pinned = false;
    if (pinned) return;
    HMODULE module = nullptr;
    pinned = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                reinterpret_cast<LPCWSTR>(&PinLibrary), &module) != FALSE;
}

}  // namespace

CaptureManager::~CaptureManager() = default;

HRESULT CreateManagerInstance(HWND eventWindow)
{
    ModuleState& module = Module();
    module.theManager.reset();
    module.theManager.reset(NewNoThrow<CaptureManager>(eventWindow));
    return module.theManager ? S_OK : E_OUTOFMEMORY;
}

HRESULT CreateVideoDeviceManager()
{
    ModuleState& module = Module();
    ComPtr<ID3D11DeviceContext> context;
    HRESULT hr = platform::D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr,
                                             D3D11_CREATE_DEVICE_VIDEO_SUPPORT, kFeatureLevels,
                                             static_cast<UINT>(std::size(kFeatureLevels)), D3D11_SDK_VERSION,
                                             module.d3dDevice.Put(), nullptr, context.Put());
    if (FAILED(hr)) return hr;

    ComPtr<ID3D10Multithread> multithread;
    hr = module.d3dDevice->QueryInterface(IID_ID3D10Multithread, multithread.PutVoid());
    if (FAILED(hr)) return hr;
    // The engine uses the device from its own threads.
    multithread->SetMultithreadProtected(TRUE);

    hr = platform::MFCreateDXGIDeviceManager(&module.resetToken, module.deviceManager.Put());
    if (FAILED(hr)) return hr;
    return module.deviceManager->ResetDevice(module.d3dDevice.Get(), module.resetToken);
}

HRESULT CaptureManager::InitializeEngine(IMFActivate* camera)
{
    StopPreviewBeforeTearDown();
    ReleaseEngine();

    stateEvent.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!stateEvent) return LastErrorResult();
    UniqueEvent previewStopped;
    previewStopped.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!previewStopped) return LastErrorResult();

    // Reserved now, so the callback can always record what it posts.
    if (!ThePostedEvents().Reserve()) return E_OUTOFMEMORY;
    callback = ComPtr<CaptureEngineCB>::Attach(
        NewNoThrow<CaptureEngineCB>(eventWindow, ThePostedEvents().NewSetUp(), previewStopped.Get()));
    if (!callback) return E_OUTOFMEMORY;
    previewStopped.Release();
    PinLibrary();

    previewWindow = nullptr;

    ComPtr<IMFAttributes> attributes;
    HRESULT hr = CreateEngine(attributes.Put());
    if (FAILED(hr)) return hr;
    return engine->Initialize(callback.Get(), attributes.Get(), nullptr, camera);
}

HRESULT CaptureManager::CreateEngine(IMFAttributes** attributes)
{
    // The device manager is optional to the engine: without a video-capable device (no GPU, the Basic
    // Render Driver of a virtual machine or remote session) the camera still works, only slower.
    if (FAILED(CreateVideoDeviceManager())) {
        ModuleState& module = Module();
        module.deviceManager.Reset();
        module.d3dDevice.Reset();
        module.resetToken = 0;
    }

    ComPtr<IMFAttributes> settings;
    HRESULT hr = platform::MFCreateAttributes(settings.Put(), 2);
    if (FAILED(hr)) return hr;
    // Otherwise the engine opens the default microphone too, and a denied or unplugged one ends the
    // camera's set-up.
    hr = settings->SetUINT32(MF_CAPTURE_ENGINE_USE_VIDEO_DEVICE_ONLY, TRUE);
    if (FAILED(hr)) return hr;
    if (IMFDXGIDeviceManager* deviceManager = Module().deviceManager.Get()) {
        hr = settings->SetUnknown(MF_CAPTURE_ENGINE_D3D_MANAGER, deviceManager);
        if (FAILED(hr)) return hr;
    }

    ComPtr<IMFCaptureEngineClassFactory> factory;
    hr = platform::CoCreateInstance(CLSID_MFCaptureEngineClassFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IMFCaptureEngineClassFactory, factory.PutVoid());
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(CLSID_MFCaptureEngine, IID_IMFCaptureEngine, engine.PutVoid());
    if (FAILED(hr)) return hr;
    OpenPreviewOptions();
    *attributes = settings.Detach();
    return S_OK;
}

void CaptureManager::StopPreviewBeforeTearDown()
{
    // The engine stops drawing only once its preview has stopped; released while it draws, it keeps
    // the window for a while, and the next preview in that window is refused. What the engine itself
    // reported counts too: a stop asked for by StopPreview may not be confirmed yet.
    if (!engine || !callback || (!isPreviewing && !callback->PreviewDrawing())) return;
    constexpr DWORD kStopBoundMilliseconds = 5000;
    ResetEvent(callback->previewStopped.Get());
    // A stop already under way may make the engine refuse another; its confirmation is awaited then.
    if (FAILED(engine->StopPreview()) && !callback->PreviewDrawing()) return;
    WaitForSingleObject(callback->previewStopped.Get(), kStopBoundMilliseconds);
}

void CaptureManager::ReleaseEngine()
{
    ModuleState& module = Module();
    stateEvent.Close();
    DropPreviewOptions(*this);
    previewSink.Reset();
    engine.Reset();
    if (callback) callback->Retire();
    callback.Reset();
    if (module.deviceManager) module.deviceManager->ResetDevice(module.d3dDevice.Get(), module.resetToken);
    module.d3dDevice.Reset();
    module.deviceManager.Reset();
    isPreviewing = false;
    isPhotoPending = false;
    photoDeadline.Disarm();
}

}  // namespace lumicap

namespace lumicap {

void CreateInstance(HWND eventWindow)
{
    if (Module().theManager) return;
    if (SUCCEEDED(CreateManagerInstance(eventWindow))) StartWatchingDevices(eventWindow);
    EmitLog(TEXT("CreateInstance"));
}

HRESULT InitializeCamera(LPCWSTR friendlyName)
{
    EmitLog(TEXT("InitializeCamera: ") + FromNullable(friendlyName));
    CaptureManager* manager = Module().theManager.get();
    if (!manager) return MF_E_NOT_INITIALIZED;

    IMFActivate* camera = SelectCameraByName(friendlyName);
    if (!camera) {
        // Every InitializeCamera starts from no engine set-up, also when it cannot build a new one.
        manager->StopPreviewBeforeTearDown();
        manager->ReleaseEngine();
        return platform::MediaFoundationPresent() ? HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)
                                        : HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    }
    return manager->InitializeEngine(camera);
}

}  // namespace lumicap
