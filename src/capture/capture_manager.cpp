#include "capture_manager.h"

#include "capture_control.h"
#include "posted_events.h"
#include "preview_options.h"
#include "discovery/camera_discovery.h"
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
    ReleaseEngine();

    stateEvent.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!stateEvent) return LastErrorResult();

    // Reserved now, so the callback can always record what it posts.
    if (!ThePostedEvents().Reserve()) return E_OUTOFMEMORY;
    callback = ComPtr<CaptureEngineCB>::Attach(NewNoThrow<CaptureEngineCB>(eventWindow, ThePostedEvents().NewSetUp()));
    if (!callback) return E_OUTOFMEMORY;
    PinLibrary();

    previewWindow = nullptr;

    HRESULT hr = CreateVideoDeviceManager();
    if (FAILED(hr)) return hr;

    ComPtr<IMFAttributes> attributes;
    hr = platform::MFCreateAttributes(attributes.Put(), 1);
    if (FAILED(hr)) return hr;
    hr = attributes->SetUnknown(MF_CAPTURE_ENGINE_D3D_MANAGER, Module().deviceManager.Get());
    if (FAILED(hr)) return hr;

    ComPtr<IMFCaptureEngineClassFactory> factory;
    hr = platform::CoCreateInstance(CLSID_MFCaptureEngineClassFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IMFCaptureEngineClassFactory, factory.PutVoid());
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(CLSID_MFCaptureEngineClassFactory, IID_IMFCaptureEngine, engine.PutVoid());
    if (FAILED(hr)) return hr;
    OpenPreviewOptions();

    return engine->Initialize(callback.Get(), attributes.Get(), nullptr, camera);
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
}

}  // namespace lumicap

namespace lumicap {

void CreateInstance(HWND eventWindow)
{
    if (Module().theManager) return;
    CreateManagerInstance(eventWindow);
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
        manager->ReleaseEngine();
        return HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
    }
    return manager->InitializeEngine(camera);
}

}  // namespace lumicap
