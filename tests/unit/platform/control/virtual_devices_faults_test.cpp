// Injected faults, operation counts and the operation log.
#include "support/virtual_devices_support.h"

#include <algorithm>
#include <set>
#include <thread>

namespace lumicap::virt::testing {
namespace {

using VirtualFaults = VirtualDevicesTest;

std::vector<HRESULT> Results(const char* operation, int calls)
{
    std::vector<HRESULT> results;
    for (int i = 0; i < calls; ++i) results.push_back(CheckFault(operation));
    return results;
}

TEST_F(VirtualFaults, NthCallRuleCountsFromWhenItIsSetAndFiresOnce)
{
    Results("Op", 2);
    FailOperation("Op", E_ACCESSDENIED, 2);
    EXPECT_EQ(Results("Op", 4), (std::vector<HRESULT>{S_OK, E_ACCESSDENIED, S_OK, S_OK}));
    FailOperation("Op", E_FAIL, 1);
    EXPECT_EQ(Results("Op", 2), (std::vector<HRESULT>{E_FAIL, S_OK}));
}

TEST_F(VirtualFaults, EveryCallRuleHoldsUntilCleared)
{
    FailOperation("Op", E_HANDLE);
    EXPECT_EQ(Results("Op", 3), (std::vector<HRESULT>(3, E_HANDLE)));
    EXPECT_EQ(CheckFault("Other"), S_OK);
    ClearFaults();
    EXPECT_EQ(Results("Op", 2), (std::vector<HRESULT>(2, S_OK)));
}

TEST_F(VirtualFaults, TheNewestRuleForAnOperationWins)
{
    FailOperation("Op", E_FAIL);
    FailOperation("Op", E_ABORT, 2);
    EXPECT_EQ(Results("Op", 3), (std::vector<HRESULT>{E_FAIL, E_ABORT, E_FAIL}));
}

TEST_F(VirtualFaults, NthOperationRuleCountsAcrossNames)
{
    CheckFault("Before");
    FailNthOperation(3, E_UNEXPECTED);
    EXPECT_EQ(CheckFault("A"), S_OK);
    EXPECT_EQ(CheckFault("B"), S_OK);
    EXPECT_EQ(CheckFault("C"), E_UNEXPECTED);
    EXPECT_EQ(CheckFault("C"), S_OK);
    FailNthOperation(0, E_UNEXPECTED);
    EXPECT_EQ(CheckFault("A"), S_OK);
}

TEST_F(VirtualFaults, FailuresHandOverTheirLastError)
{
    FailOperation("Op", E_FAIL, 1, 1234);
    FailNthOperation(2, E_ABORT, 77);
    DWORD lastError = 0;
    EXPECT_EQ(CheckFault("Op", &lastError), E_FAIL);
    EXPECT_EQ(lastError, 1234u);
    EXPECT_EQ(CheckFault("Op", &lastError), E_ABORT);
    EXPECT_EQ(lastError, 77u);
    lastError = 5;
    EXPECT_EQ(CheckFault("Op", &lastError), S_OK);
    EXPECT_EQ(lastError, 5u);
}

TEST_F(VirtualFaults, ClearFaultsKeepsCountsAndResetForgetsThem)
{
    FailOperation("A", E_FAIL);
    FailNthOperation(1, E_FAIL);
    ClearFaults();
    EXPECT_EQ(CheckFault("A"), S_OK);
    CheckFault("B");
    CheckFault("A");
    EXPECT_EQ(OperationCount(), 3u);
    EXPECT_EQ(OperationCount("A"), 2u);
    EXPECT_EQ(OperationCount("B"), 1u);
    EXPECT_EQ(OperationCount("Never"), 0u);
    EXPECT_EQ(OperationLog(), (std::vector<std::string>{"A", "B", "A"}));

    FailOperation("A", E_FAIL);
    Reset();
    EXPECT_EQ(OperationCount(), 0u);
    EXPECT_EQ(OperationCount("A"), 0u);
    EXPECT_TRUE(OperationLog().empty());
    EXPECT_EQ(CheckFault("A"), S_OK);
}

TEST_F(VirtualFaults, ConcurrentOperationsAreAllCounted)
{
    constexpr int kThreads = 4;
    constexpr int kCalls = 500;
    FailOperation("Shared", E_FAIL, kThreads * kCalls / 2);
    std::vector<HRESULT> failures[kThreads];
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCalls; ++i) {
                const HRESULT hr = CheckFault("Shared");
                if (FAILED(hr)) failures[t].push_back(hr);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    size_t failed = 0;
    for (const auto& f : failures) failed += f.size();
    EXPECT_EQ(failed, 1u);
    EXPECT_EQ(OperationCount("Shared"), static_cast<unsigned long long>(kThreads * kCalls));
    EXPECT_EQ(OperationLog().size(), static_cast<size_t>(kThreads * kCalls));
}

TEST_F(VirtualFaults, SeamCallsCountUnderTheirNames)
{
    ComPtr<IMFAttributes> attributes = NewAttributes();
    ComPtr<IMFMediaType> type = NewMediaType();
    Enumerate();
    for (const char* name : {"MFCreateAttributes", "MFCreateMediaType", "MFEnumDeviceSources"}) {
        EXPECT_GE(OperationCount(name), 1u) << name;
    }
}

// Calls every method of every kind of store once, so their names land in the log.
void CallEveryStoreMethod()
{
    ComPtr<IMFMediaType> type = NewMediaType();
    ComPtr<IMFAttributes> store = NewAttributes();
    ComPtr<IMFMediaEvent> event;
    EXPECT_EQ(CreateEngineEvent(MF_CAPTURE_ENGINE_INITIALIZED, S_OK, event.Put()), S_OK);
    const auto activates = Enumerate();
    ASSERT_FALSE(activates.empty());
    const GUID key = MF_MT_SUBTYPE;
    PROPVARIANT variant;
    variant.vt = VT_UI4;
    variant.ulVal = 1;
    UINT8 bytes[4] = {};
    WCHAR text[4] = {};
    UINT32 u32 = 0;
    UINT64 u64 = 0;
    double real = 0;
    GUID guid = GUID_NULL;
    BOOL flag = FALSE;
    MF_ATTRIBUTE_TYPE type_ = MF_ATTRIBUTE_UINT32;
    void* object = nullptr;
    const std::vector<IMFAttributes*> stores = {type.Get(), store.Get(), event.Get(), activates[0].Get()};
    for (IMFAttributes* a : stores) {
        a->SetItem(key, variant);
        a->GetItem(key, nullptr);
        a->GetItemType(key, &type_);
        a->CompareItem(key, variant, &flag);
        a->Compare(store.Get(), MF_ATTRIBUTES_MATCH_ALL_ITEMS, &flag);
        a->GetUINT32(key, &u32);
        a->GetUINT64(key, &u64);
        a->GetDouble(key, &real);
        a->GetGUID(key, &guid);
        a->GetStringLength(key, &u32);
        a->GetString(key, text, 4, &u32);
        a->GetAllocatedString(key, nullptr, nullptr);
        a->GetBlobSize(key, &u32);
        a->GetBlob(key, bytes, 4, &u32);
        a->GetAllocatedBlob(key, nullptr, nullptr);
        a->GetUnknown(key, IID_IUnknown, &object);
        a->DeleteItem(key);
        a->SetUINT32(key, 1);
        a->SetUINT64(key, 1);
        a->SetDouble(key, 1);
        a->SetGUID(key, guid);
        a->SetString(key, TEXT("x"));
        a->SetBlob(key, bytes, 4);
        a->SetUnknown(key, store.Get());
        a->LockStore();
        a->UnlockStore();
        a->GetCount(&u32);
        a->GetItemByIndex(0, &guid, nullptr);
        a->CopyAllItems(NewAttributes().Get());
        a->DeleteAllItems();
    }
    type->GetMajorType(&guid);
    type->IsCompressedFormat(&flag);
    DWORD equalFlags = 0;
    type->IsEqual(type.Get(), &equalFlags);
    type->GetRepresentation(GUID_NULL, &object);
    type->FreeRepresentation(GUID_NULL, nullptr);
    activates[0]->ActivateObject(IID_IUnknown, &object);
    activates[0]->ShutdownObject();
    activates[0]->DetachObject();
    MediaEventType eventType = 0;
    HRESULT status = S_OK;
    event->GetType(&eventType);
    event->GetExtendedType(&guid);
    event->GetStatus(&status);
    event->GetValue(&variant);
}

TEST_F(VirtualFaults, OperationNamesCoverEveryOperationCountedAndNoneTwice)
{
    CallEveryStoreMethod();
    ComPtr<IUnknown> factory;
    platform::CoCreateInstance(CLSID_MFCaptureEngineClassFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               factory.PutVoid());
    ComPtr<ID3D11Device> device;
    platform::D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, D3D11_CREATE_DEVICE_VIDEO_SUPPORT, nullptr,
                                0, D3D11_SDK_VERSION, device.Put(), nullptr, nullptr);
    ComPtr<IUnknown> multithread;
    device->QueryInterface(IID_ID3D10Multithread, multithread.PutVoid());
    UINT token = 0;
    ComPtr<IMFDXGIDeviceManager> manager;
    platform::MFCreateDXGIDeviceManager(&token, manager.Put());
    manager->ResetDevice(device.Get(), token);

    const std::vector<std::string> names = OperationNames();
    const std::set<std::string> unique(names.begin(), names.end());
    EXPECT_EQ(unique.size(), names.size());
    std::set<std::string> logged;
    for (const std::string& name : OperationLog()) logged.insert(name);
    for (const std::string& name : logged) EXPECT_EQ(unique.count(name), 1u) << name << " is counted but not named";
    // 4 interfaces x 30 attribute methods, plus what media types, activations and events add.
    for (const char* prefix : {"IMFAttributes::", "IMFMediaType::", "IMFActivate::", "IMFMediaEvent::"}) {
        const auto counted = std::count_if(logged.begin(), logged.end(),
                                           [&](const std::string& name) { return name.rfind(prefix, 0) == 0; });
        const auto listed = std::count_if(unique.begin(), unique.end(),
                                          [&](const std::string& name) { return name.rfind(prefix, 0) == 0; });
        EXPECT_EQ(counted, listed) << prefix;
    }
}

TEST_F(VirtualFaults, EveryNameInTheHeaderCommentIsListed)
{
    const std::vector<std::string> names = OperationNames();
    const char* const expectedNames[] = {
        "MFCreateAttributes", "MFEnumDeviceSources", "D3D11CreateDevice",
        "ID3D11Device::QueryInterface(ID3D10Multithread)", "MFCreateDXGIDeviceManager",
        "IMFDXGIDeviceManager::ResetDevice", "CoCreateInstance", "IMFCaptureEngineClassFactory::CreateInstance",
        "IMFCaptureEngine::Initialize", "IMFCaptureEngine::StartPreview", "IMFCaptureEngine::StopPreview",
        "IMFCaptureEngine::TakePhoto", "IMFCaptureEngine::GetSink", "IMFCaptureEngine::GetSource",
        "IMFCaptureSource::GetAvailableDeviceMediaType", "IMFCaptureSource::GetCurrentDeviceMediaType",
        "IMFCaptureSource::SetCurrentDeviceMediaType", "IMFCaptureSink::QueryInterface",
        "IMFCapturePreviewSink::SetRenderHandle", "IMFCapturePreviewSink::AddStream",
        "IMFCapturePhotoSink::RemoveAllStreams", "IMFCapturePhotoSink::AddStream",
        "IMFCapturePhotoSink::SetOutputByteStream", "IMFMediaType::SetGUID", "IMFMediaType::SetUINT32",
        "IMFMediaType::GetItem", "IMFMediaType::SetItem", "IMFMediaType::GetUINT64", "IMFMediaType::GetGUID",
        "IMFAttributes::SetGUID", "IMFAttributes::SetUnknown", "IMFActivate::GetAllocatedString",
        "IMFActivate::GetGUID", "IMFMediaEvent::GetStatus", "IMFMediaEvent::GetExtendedType", "CreateEventW",
    };
    for (const char* expected : expectedNames) {
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
    }
}

TEST_F(VirtualFaults, CreateEventWCountsAndFailsWithTheInjectedLastError)
{
    const unsigned long long before = OperationCount("CreateEventW");
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    CloseHandle(event);
    EXPECT_EQ(OperationCount("CreateEventW"), before + 1);

    constexpr DWORD kNotEnoughMemory = 8;
    FailOperation("CreateEventW", HRESULT_FROM_WIN32(kNotEnoughMemory), 1, kNotEnoughMemory);
    SetLastError(0);
    EXPECT_EQ(CreateEventW(nullptr, FALSE, FALSE, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), kNotEnoughMemory);
    event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(event, nullptr);
    CloseHandle(event);
}

}  // namespace
}  // namespace lumicap::virt::testing
