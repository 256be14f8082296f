// The Direct3D device, DXGI device manager and CoCreateInstance stand-ins.
#include "support/virtual_devices_support.h"

namespace lumicap::virt::testing {
namespace {

using VirtualD3DStandIns = VirtualDevicesTest;

HRESULT CreateDevice(ID3D11Device** device, D3D_FEATURE_LEVEL* level = nullptr, ID3D11DeviceContext** context = nullptr,
                     const D3D_FEATURE_LEVEL* levels = nullptr, UINT levelCount = 0)
{
    return platform::D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, D3D11_CREATE_DEVICE_VIDEO_SUPPORT,
                                       levels, levelCount, D3D11_SDK_VERSION, device, level, context);
}

TEST_F(VirtualD3DStandIns, DeviceTakesTheFirstFeatureLevelAndGivesAContext)
{
    const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_0};
    ComPtr<ID3D11Device> device;
    ComPtr<ID3D11DeviceContext> context;
    D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_9_1;
    ASSERT_EQ(CreateDevice(device.Put(), &level, context.Put(), levels, 3), S_OK);
    EXPECT_EQ(level, D3D_FEATURE_LEVEL_11_1);
    ASSERT_TRUE(device && context);
    ComPtr<IUnknown> asContext;
    EXPECT_EQ(context->QueryInterface(IID_ID3D11DeviceContext, asContext.PutVoid()), S_OK);
    ComPtr<IUnknown> asDevice;
    EXPECT_EQ(device->QueryInterface(IID_ID3D11Device, asDevice.PutVoid()), S_OK);
    ComPtr<IMFAttributes> notAStore;
    EXPECT_EQ(device->QueryInterface(IID_IMFAttributes, notAStore.PutVoid()), E_NOINTERFACE);

    ComPtr<ID3D11Device> defaulted;
    ASSERT_EQ(CreateDevice(defaulted.Put(), &level), S_OK);
    EXPECT_EQ(level, D3D_FEATURE_LEVEL_11_0);
}

TEST_F(VirtualD3DStandIns, DeviceArgumentsAreChecked)
{
    ComPtr<ID3D11Device> device;
    EXPECT_EQ(CreateDevice(nullptr), E_INVALIDARG);
    EXPECT_EQ(platform::D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, 6, device.Put(),
                                          nullptr, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(CreateDevice(device.Put(), nullptr, nullptr, nullptr, 2), E_INVALIDARG);
    // As the capture engine needs: a hardware device with video support, from a list of known levels.
    const D3D_FEATURE_LEVEL unknown[] = {D3D_FEATURE_LEVEL_11_0, static_cast<D3D_FEATURE_LEVEL>(0x1234)};
    EXPECT_EQ(CreateDevice(device.Put(), nullptr, nullptr, unknown, 2), E_INVALIDARG);
    EXPECT_EQ(CreateDevice(device.Put(), nullptr, nullptr, unknown, 0), E_INVALIDARG);
    for (D3D_DRIVER_TYPE driver : {D3D_DRIVER_TYPE_WARP, D3D_DRIVER_TYPE_REFERENCE, D3D_DRIVER_TYPE_UNKNOWN}) {
        EXPECT_EQ(platform::D3D11CreateDevice(nullptr, driver, nullptr, D3D11_CREATE_DEVICE_VIDEO_SUPPORT, nullptr, 0,
                                              D3D11_SDK_VERSION, device.Put(), nullptr, nullptr),
                  E_INVALIDARG);
    }
    EXPECT_FALSE(device);
    FailOperation("D3D11CreateDevice", DXGI_ERROR_UNSUPPORTED, 1);
    ComPtr<ID3D11DeviceContext> context;
    EXPECT_EQ(CreateDevice(device.Put(), nullptr, context.Put()), DXGI_ERROR_UNSUPPORTED);
    EXPECT_FALSE(device);
    EXPECT_FALSE(context);
    EXPECT_EQ(OperationCount("D3D11CreateDevice"), 9u);
}

TEST_F(VirtualD3DStandIns, MultithreadProtectionIsAFaceOfTheDevice)
{
    ComPtr<ID3D11Device> device;
    ASSERT_EQ(CreateDevice(device.Put()), S_OK);
    ComPtr<ID3D10Multithread> multithread;
    ASSERT_EQ(device->QueryInterface(IID_ID3D10Multithread, multithread.PutVoid()), S_OK);
    EXPECT_FALSE(multithread->GetMultithreadProtected());
    EXPECT_FALSE(multithread->SetMultithreadProtected(TRUE));
    EXPECT_TRUE(multithread->GetMultithreadProtected());
    EXPECT_TRUE(multithread->SetMultithreadProtected(TRUE));
    multithread->Enter();
    multithread->Leave();

    // Same object: its IUnknown is the device's, and it keeps the device alive.
    ComPtr<IUnknown> identity;
    ASSERT_EQ(multithread->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(device.Get()));
    const long live = LiveObjectCount();
    device.Reset();
    identity.Reset();
    EXPECT_EQ(LiveObjectCount(), live);
    multithread.Reset();
    EXPECT_EQ(LiveObjectCount(), live - 1);
}

TEST_F(VirtualD3DStandIns, MultithreadQueryCanBeFaulted)
{
    ComPtr<ID3D11Device> device;
    ASSERT_EQ(CreateDevice(device.Put()), S_OK);
    FailOperation("ID3D11Device::QueryInterface(ID3D10Multithread)", E_NOINTERFACE, 1);
    ComPtr<ID3D10Multithread> multithread;
    EXPECT_EQ(device->QueryInterface(IID_ID3D10Multithread, multithread.PutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(multithread);
    EXPECT_EQ(device->QueryInterface(IID_ID3D10Multithread, multithread.PutVoid()), S_OK);
    EXPECT_EQ(OperationCount("ID3D11Device::QueryInterface(ID3D10Multithread)"), 2u);
}

TEST_F(VirtualD3DStandIns, ManagerAcceptsOnlyItsTokenAndOurDevices)
{
    UINT token = 0;
    ComPtr<IMFDXGIDeviceManager> manager;
    ASSERT_EQ(platform::MFCreateDXGIDeviceManager(&token, manager.Put()), S_OK);
    EXPECT_NE(token, 0u);
    ComPtr<ID3D11Device> device;
    ASSERT_EQ(CreateDevice(device.Put()), S_OK);
    ComPtr<IMFAttributes> foreign = NewAttributes();

    EXPECT_EQ(manager->ResetDevice(device.Get(), token + 1), E_INVALIDARG);
    EXPECT_EQ(manager->ResetDevice(foreign.Get(), token), E_INVALIDARG);
    EXPECT_EQ(manager->ResetDevice(nullptr, token), E_POINTER);
    EXPECT_EQ(manager->ResetDevice(device.Get(), token), S_OK);
    FailOperation("IMFDXGIDeviceManager::ResetDevice", E_FAIL, 1);
    EXPECT_EQ(manager->ResetDevice(device.Get(), token), E_FAIL);
    HANDLE handle = nullptr;
    EXPECT_EQ(manager->OpenDeviceHandle(&handle), E_NOTIMPL);
}

TEST_F(VirtualD3DStandIns, ManagerHoldsItsDeviceUntilReplacedOrDestroyed)
{
    const long start = LiveObjectCount();
    UINT token = 0;
    ComPtr<IMFDXGIDeviceManager> manager;
    ASSERT_EQ(platform::MFCreateDXGIDeviceManager(&token, manager.Put()), S_OK);
    ComPtr<ID3D11Device> first;
    ComPtr<ID3D11Device> second;
    ASSERT_EQ(CreateDevice(first.Put()), S_OK);
    ASSERT_EQ(CreateDevice(second.Put()), S_OK);
    ASSERT_EQ(manager->ResetDevice(first.Get(), token), S_OK);
    first.Reset();
    EXPECT_EQ(LiveObjectCount(), start + 3);
    ASSERT_EQ(manager->ResetDevice(second.Get(), token), S_OK);
    EXPECT_EQ(LiveObjectCount(), start + 2);
    second.Reset();
    EXPECT_EQ(LiveObjectCount(), start + 2);
    manager.Reset();
    EXPECT_EQ(LiveObjectCount(), start);
}

TEST_F(VirtualD3DStandIns, ManagerCreationChecksAndFaults)
{
    UINT token = 0;
    ComPtr<IMFDXGIDeviceManager> manager;
    EXPECT_EQ(platform::MFCreateDXGIDeviceManager(nullptr, manager.Put()), E_POINTER);
    EXPECT_EQ(platform::MFCreateDXGIDeviceManager(&token, nullptr), E_POINTER);
    FailOperation("MFCreateDXGIDeviceManager", E_OUTOFMEMORY, 1);
    EXPECT_EQ(platform::MFCreateDXGIDeviceManager(&token, manager.Put()), E_OUTOFMEMORY);
    EXPECT_FALSE(manager);
}

TEST_F(VirtualD3DStandIns, CoCreateInstanceKnowsOnlyTheEngineFactory)
{
    ComPtr<IMFCaptureEngineClassFactory> factory;
    EXPECT_EQ(platform::CoCreateInstance(CLSID_MFCaptureEngineClassFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IMFCaptureEngineClassFactory, factory.PutVoid()),
              S_OK);
    EXPECT_TRUE(factory);

    ComPtr<IUnknown> other;
    ComPtr<IMFAttributes> outer = NewAttributes();
    EXPECT_EQ(platform::CoCreateInstance(CLSID_VideoInputDeviceCategory, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                         other.PutVoid()),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(platform::CoCreateInstance(CLSID_MFCaptureEngineClassFactory, outer.Get(), CLSCTX_INPROC_SERVER,
                                         IID_IUnknown, other.PutVoid()),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(platform::CoCreateInstance(CLSID_MFCaptureEngineClassFactory, nullptr, 0x4, IID_IUnknown,
                                         other.PutVoid()),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(platform::CoCreateInstance(CLSID_MFCaptureEngineClassFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IUnknown, nullptr),
              E_POINTER);
    FailOperation("CoCreateInstance", E_ACCESSDENIED, 1);
    EXPECT_EQ(platform::CoCreateInstance(CLSID_MFCaptureEngineClassFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IUnknown, other.PutVoid()),
              E_ACCESSDENIED);
    EXPECT_FALSE(other);
}

}  // namespace
}  // namespace lumicap::virt::testing
