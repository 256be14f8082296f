// The virtual attribute store behaves as the platform's does where the library relies on it.
#include "support/virtual_devices_support.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

namespace lumicap::virt::testing {
namespace {

constexpr GUID kKeyA = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID kKeyB = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 9}};
constexpr GUID kKeyC = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 10}};
constexpr GUID kValueGuid = {0xabcdef01, 0x2345, 0x6789, {9, 8, 7, 6, 5, 4, 3, 2}};
const HRESULT kInsufficientBuffer = static_cast<HRESULT>(0x8007007A);

PROPVARIANT EmptyVariant()
{
    PROPVARIANT variant;
    std::memset(&variant, 0, sizeof variant);
    return variant;
}

using VirtualAttributeStore = VirtualDevicesTest;

// Writes one value of each attribute type under kKeyA of a fresh store.
struct TypedCase {
    const char* name;
    MF_ATTRIBUTE_TYPE type;
    std::function<HRESULT(IMFAttributes*)> set;
};

std::vector<TypedCase> TypedCases(IUnknown* object)
{
    static const UINT8 blob[] = {1, 2, 3};
    return {
        {"UINT32", MF_ATTRIBUTE_UINT32, [](IMFAttributes* a) { return a->SetUINT32(kKeyA, 7); }},
        {"UINT64", MF_ATTRIBUTE_UINT64, [](IMFAttributes* a) { return a->SetUINT64(kKeyA, Pack(1, 2)); }},
        {"DOUBLE", MF_ATTRIBUTE_DOUBLE, [](IMFAttributes* a) { return a->SetDouble(kKeyA, 2.5); }},
        {"GUID", MF_ATTRIBUTE_GUID, [](IMFAttributes* a) { return a->SetGUID(kKeyA, kValueGuid); }},
        {"STRING", MF_ATTRIBUTE_STRING, [](IMFAttributes* a) { return a->SetString(kKeyA, TEXT("text")); }},
        {"BLOB", MF_ATTRIBUTE_BLOB, [](IMFAttributes* a) { return a->SetBlob(kKeyA, blob, sizeof blob); }},
        {"IUNKNOWN", MF_ATTRIBUTE_IUNKNOWN, [object](IMFAttributes* a) { return a->SetUnknown(kKeyA, object); }},
    };
}

// Each typed getter with the type it reads; all answer for kKeyA.
struct GetterCase {
    const char* name;
    MF_ATTRIBUTE_TYPE type;
    std::function<HRESULT(IMFAttributes*)> get;
};

std::vector<GetterCase> GetterCases()
{
    return {
        {"GetUINT32", MF_ATTRIBUTE_UINT32, [](IMFAttributes* a) { UINT32 v; return a->GetUINT32(kKeyA, &v); }},
        {"GetUINT64", MF_ATTRIBUTE_UINT64, [](IMFAttributes* a) { UINT64 v; return a->GetUINT64(kKeyA, &v); }},
        {"GetDouble", MF_ATTRIBUTE_DOUBLE, [](IMFAttributes* a) { double v; return a->GetDouble(kKeyA, &v); }},
        {"GetGUID", MF_ATTRIBUTE_GUID, [](IMFAttributes* a) { GUID v; return a->GetGUID(kKeyA, &v); }},
        {"GetStringLength", MF_ATTRIBUTE_STRING,
         [](IMFAttributes* a) { UINT32 v; return a->GetStringLength(kKeyA, &v); }},
        {"GetString", MF_ATTRIBUTE_STRING,
         [](IMFAttributes* a) { WCHAR v[32]; return a->GetString(kKeyA, v, 32, nullptr); }},
        {"GetAllocatedString", MF_ATTRIBUTE_STRING,
         [](IMFAttributes* a) {
             LPWSTR v = nullptr;
             UINT32 n = 0;
             const HRESULT hr = a->GetAllocatedString(kKeyA, &v, &n);
             CoTaskMemFree(v);
             return hr;
         }},
        {"GetBlobSize", MF_ATTRIBUTE_BLOB, [](IMFAttributes* a) { UINT32 v; return a->GetBlobSize(kKeyA, &v); }},
        {"GetBlob", MF_ATTRIBUTE_BLOB, [](IMFAttributes* a) { UINT8 v[8]; return a->GetBlob(kKeyA, v, 8, nullptr); }},
        {"GetAllocatedBlob", MF_ATTRIBUTE_BLOB,
         [](IMFAttributes* a) {
             UINT8* v = nullptr;
             UINT32 n = 0;
             const HRESULT hr = a->GetAllocatedBlob(kKeyA, &v, &n);
             CoTaskMemFree(v);
             return hr;
         }},
        {"GetUnknown", MF_ATTRIBUTE_IUNKNOWN,
         [](IMFAttributes* a) {
             ComPtr<IUnknown> v;
             return a->GetUnknown(kKeyA, IID_IUnknown, v.PutVoid());
         }},
    };
}

TEST_F(VirtualAttributeStore, EveryTypedGetterReportsAMissingKey)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    ASSERT_EQ(store->SetUINT32(kKeyB, 1), S_OK);
    for (const GetterCase& getter : GetterCases()) {
        EXPECT_EQ(getter.get(store.Get()), MF_E_ATTRIBUTENOTFOUND) << getter.name;
    }
    MF_ATTRIBUTE_TYPE type;
    EXPECT_EQ(store->GetItemType(kKeyA, &type), MF_E_ATTRIBUTENOTFOUND);
    EXPECT_EQ(store->GetItem(kKeyA, nullptr), MF_E_ATTRIBUTENOTFOUND);
}

TEST_F(VirtualAttributeStore, EveryTypedGetterAcceptsOnlyItsOwnType)
{
    ComPtr<IMFAttributes> object = NewAttributes();
    for (const TypedCase& stored : TypedCases(object.Get())) {
        ComPtr<IMFAttributes> store = NewAttributes();
        ASSERT_EQ(stored.set(store.Get()), S_OK) << stored.name;
        MF_ATTRIBUTE_TYPE type;
        ASSERT_EQ(store->GetItemType(kKeyA, &type), S_OK);
        EXPECT_EQ(type, stored.type) << stored.name;
        for (const GetterCase& getter : GetterCases()) {
            const HRESULT expected = getter.type == stored.type ? S_OK : MF_E_INVALIDTYPE;
            EXPECT_EQ(getter.get(store.Get()), expected) << stored.name << " read by " << getter.name;
        }
    }
}

TEST_F(VirtualAttributeStore, TypedValuesRoundTrip)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    const UINT8 blob[] = {9, 0, 255, 4};
    ASSERT_EQ(store->SetUINT32(kKeyA, 0xFFFFFFFFu), S_OK);
    ASSERT_EQ(store->SetDouble(kKeyB, -0.125), S_OK);
    ASSERT_EQ(store->SetBlob(kKeyC, blob, sizeof blob), S_OK);
    UINT32 u32 = 0;
    double real = 0;
    UINT8 read[8] = {};
    UINT32 size = 0;
    EXPECT_EQ(store->GetUINT32(kKeyA, &u32), S_OK);
    EXPECT_EQ(u32, 0xFFFFFFFFu);
    EXPECT_EQ(store->GetDouble(kKeyB, &real), S_OK);
    EXPECT_EQ(real, -0.125);
    EXPECT_EQ(store->GetBlob(kKeyC, read, sizeof read, &size), S_OK);
    EXPECT_EQ(size, sizeof blob);
    EXPECT_EQ(std::memcmp(read, blob, sizeof blob), 0);
    EXPECT_EQ(store->GetBlob(kKeyC, read, sizeof blob - 1, &size), kInsufficientBuffer);
}

TEST_F(VirtualAttributeStore, UINT64KeepsBothHalves)
{
    ComPtr<IMFMediaType> type = NewMediaType();
    ASSERT_EQ(type->SetUINT64(MF_MT_FRAME_SIZE, Pack(1920, 1080)), S_OK);
    ASSERT_EQ(type->SetUINT64(MF_MT_FRAME_RATE, Pack(30000, 1001)), S_OK);
    UINT64 size = 0;
    ASSERT_EQ(type->GetUINT64(MF_MT_FRAME_SIZE, &size), S_OK);
    EXPECT_EQ(size >> 32, 1920u);
    EXPECT_EQ(size & 0xFFFFFFFFu, 1080u);
    PROPVARIANT rate = EmptyVariant();
    ASSERT_EQ(type->GetItem(MF_MT_FRAME_RATE, &rate), S_OK);
    EXPECT_EQ(rate.vt, VT_UI8);
    EXPECT_EQ(rate.uhVal.u.HighPart, 30000u);
    EXPECT_EQ(rate.uhVal.u.LowPart, 1001u);
    PropVariantClear(&rate);
}

TEST_F(VirtualAttributeStore, GuidsAreStoredByValue)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    GUID value = kValueGuid;
    ASSERT_EQ(store->SetGUID(kKeyA, value), S_OK);
    value.Data1 = 0;
    GUID read = GUID_NULL;
    ASSERT_EQ(store->GetGUID(kKeyA, &read), S_OK);
    EXPECT_EQ(read, kValueGuid);
}

TEST_F(VirtualAttributeStore, StringsReportLengthsAndNeedRoomForTheTerminator)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    ASSERT_EQ(store->SetString(kKeyA, TEXT("camera")), S_OK);
    ASSERT_EQ(store->SetString(kKeyB, TEXT("")), S_OK);

    UINT32 length = 0;
    EXPECT_EQ(store->GetStringLength(kKeyA, &length), S_OK);
    EXPECT_EQ(length, 6u);

    WCHAR buffer[7];
    length = 99;
    EXPECT_EQ(store->GetString(kKeyA, buffer, 6, &length), kInsufficientBuffer);
    EXPECT_EQ(store->GetString(kKeyA, buffer, 7, &length), S_OK);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(WideString(buffer), TEXT("camera"));

    LPWSTR allocated = nullptr;
    EXPECT_EQ(store->GetAllocatedString(kKeyA, &allocated, nullptr), E_POINTER);
    EXPECT_EQ(store->GetAllocatedString(kKeyB, &allocated, &length), S_OK);
    ASSERT_NE(allocated, nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(allocated[0], 0);
    CoTaskMemFree(allocated);
    EXPECT_EQ(ReadString(store.Get(), kKeyA), TEXT("camera"));
}

TEST_F(VirtualAttributeStore, GetItemGivesTheCallerItsOwnDeepCopy)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    ComPtr<IMFAttributes> object = NewAttributes();
    ASSERT_EQ(store->SetString(kKeyA, TEXT("name")), S_OK);
    ASSERT_EQ(store->SetGUID(kKeyB, kValueGuid), S_OK);
    ASSERT_EQ(store->SetUnknown(kKeyC, object.Get()), S_OK);

    PROPVARIANT text = EmptyVariant();
    PROPVARIANT guid = EmptyVariant();
    PROPVARIANT unknown = EmptyVariant();
    ASSERT_EQ(store->GetItem(kKeyA, &text), S_OK);
    ASSERT_EQ(store->GetItem(kKeyB, &guid), S_OK);
    ASSERT_EQ(store->GetItem(kKeyC, &unknown), S_OK);
    ASSERT_EQ(text.vt, VT_LPWSTR);
    ASSERT_EQ(guid.vt, VT_CLSID);
    ASSERT_EQ(unknown.vt, VT_UNKNOWN);
    text.pwszVal[0] = TEXT('N');
    guid.puuid->Data1 = 0;
    EXPECT_EQ(ReadString(store.Get(), kKeyA), TEXT("name"));
    GUID stored = GUID_NULL;
    EXPECT_EQ(store->GetGUID(kKeyB, &stored), S_OK);
    EXPECT_EQ(stored, kValueGuid);

    // The object now has our reference, the store's and the copy's.
    EXPECT_EQ(unknown.punkVal, static_cast<IUnknown*>(object.Get()));
    EXPECT_EQ(object->AddRef(), 4u);
    object->Release();
    PropVariantClear(&unknown);
    EXPECT_EQ(object->AddRef(), 3u);
    object->Release();
    PropVariantClear(&text);
    PropVariantClear(&guid);
}

TEST_F(VirtualAttributeStore, GetItemWithoutAVariantOnlyTestsPresence)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    ASSERT_EQ(store->SetUINT32(kKeyA, 3), S_OK);
    EXPECT_EQ(store->GetItem(kKeyA, nullptr), S_OK);
    EXPECT_EQ(store->GetItem(kKeyB, nullptr), MF_E_ATTRIBUTENOTFOUND);
}

TEST_F(VirtualAttributeStore, SetItemOverwritesInPlaceAndRefusesOtherVariantTypes)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    ASSERT_EQ(store->SetUINT32(kKeyA, 1), S_OK);
    ASSERT_EQ(store->SetUINT32(kKeyB, 2), S_OK);

    PROPVARIANT value = EmptyVariant();
    value.vt = VT_UI8;
    value.uhVal.QuadPart = Pack(5, 6);
    ASSERT_EQ(store->SetItem(kKeyA, value), S_OK);

    UINT32 count = 0;
    ASSERT_EQ(store->GetCount(&count), S_OK);
    EXPECT_EQ(count, 2u);
    GUID first = GUID_NULL;
    ASSERT_EQ(store->GetItemByIndex(0, &first, nullptr), S_OK);
    EXPECT_EQ(first, kKeyA);
    UINT64 read = 0;
    EXPECT_EQ(store->GetUINT64(kKeyA, &read), S_OK);
    EXPECT_EQ(read, Pack(5, 6));

    for (VARTYPE refused : {VARTYPE(VT_EMPTY), VARTYPE(VT_I4), VARTYPE(VT_BSTR), VARTYPE(VT_BOOL), VARTYPE(VT_UI2)}) {
        PROPVARIANT other = EmptyVariant();
        other.vt = refused;
        EXPECT_EQ(store->SetItem(kKeyC, other), MF_E_INVALIDTYPE) << refused;
    }
    ASSERT_EQ(store->GetCount(&count), S_OK);
    EXPECT_EQ(count, 2u);
}

TEST_F(VirtualAttributeStore, ItemsKeepInsertionOrderThroughOverwriteAndDelete)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    ASSERT_EQ(store->SetUINT32(kKeyC, 1), S_OK);
    ASSERT_EQ(store->SetUINT32(kKeyA, 2), S_OK);
    ASSERT_EQ(store->SetUINT32(kKeyB, 3), S_OK);
    ASSERT_EQ(store->SetString(kKeyA, TEXT("again")), S_OK);
    auto keys = [&] {
        std::vector<GUID> result;
        UINT32 count = 0;
        EXPECT_EQ(store->GetCount(&count), S_OK);
        for (UINT32 i = 0; i < count; ++i) {
            GUID key = GUID_NULL;
            PROPVARIANT value = EmptyVariant();
            EXPECT_EQ(store->GetItemByIndex(i, &key, &value), S_OK);
            PropVariantClear(&value);
            result.push_back(key);
        }
        GUID ignored;
        EXPECT_EQ(store->GetItemByIndex(count, &ignored, nullptr), E_INVALIDARG);
        return result;
    };
    EXPECT_EQ(keys(), (std::vector<GUID>{kKeyC, kKeyA, kKeyB}));
    ASSERT_EQ(store->DeleteItem(kKeyC), S_OK);
    EXPECT_EQ(keys(), (std::vector<GUID>{kKeyA, kKeyB}));
    EXPECT_EQ(store->DeleteItem(kKeyC), S_OK);
    ASSERT_EQ(store->DeleteAllItems(), S_OK);
    EXPECT_TRUE(keys().empty());
}

TEST_F(VirtualAttributeStore, GetUnknownQueriesTheStoredObject)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    ComPtr<IMFMediaType> type = NewMediaType();
    ASSERT_EQ(store->SetUnknown(kKeyA, type.Get()), S_OK);
    ComPtr<IMFMediaType> asType;
    EXPECT_EQ(store->GetUnknown(kKeyA, IID_IMFMediaType, asType.PutVoid()), S_OK);
    EXPECT_EQ(asType.Get(), type.Get());
    ComPtr<IMFActivate> asActivate;
    EXPECT_EQ(store->GetUnknown(kKeyA, IID_IMFActivate, asActivate.PutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(asActivate);
}

TEST_F(VirtualAttributeStore, NullArgumentsAreRefused)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    ASSERT_EQ(store->SetString(kKeyA, TEXT("x")), S_OK);
    EXPECT_EQ(store->SetString(kKeyB, nullptr), E_POINTER);
    EXPECT_EQ(store->SetUnknown(kKeyB, nullptr), E_POINTER);
    EXPECT_EQ(store->SetBlob(kKeyB, nullptr, 4), E_POINTER);
    EXPECT_EQ(store->GetString(kKeyA, nullptr, 10, nullptr), E_POINTER);
    EXPECT_EQ(store->GetCount(nullptr), E_POINTER);
    EXPECT_EQ(store->GetItemByIndex(0, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(store->CopyAllItems(nullptr), E_POINTER);
    BOOL result = TRUE;
    EXPECT_EQ(store->Compare(nullptr, MF_ATTRIBUTES_MATCH_ALL_ITEMS, &result), E_POINTER);
    UINT32 count = 0;
    EXPECT_EQ(store->GetCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
}

TEST_F(VirtualAttributeStore, CompareFollowsEachMatchType)
{
    struct Case {
        MF_ATTRIBUTES_MATCH_TYPE match;
        bool subsetOfTheirs;   // ours {A=1} against theirs {A=1, B=2}
        bool supersetOfTheirs; // ours {A=1, B=2} against theirs {A=1}
        bool conflicting;      // ours {A=1, C=5} against theirs {A=9, B=2}
        bool disjoint;         // ours {C=5} against theirs {B=2}
    };
    const Case cases[] = {
        {MF_ATTRIBUTES_MATCH_OUR_ITEMS, true, false, false, false},
        {MF_ATTRIBUTES_MATCH_THEIR_ITEMS, false, true, false, false},
        {MF_ATTRIBUTES_MATCH_ALL_ITEMS, false, false, false, false},
        {MF_ATTRIBUTES_MATCH_INTERSECTION, true, true, false, true},
        {MF_ATTRIBUTES_MATCH_SMALLER, true, true, false, false},
    };
    auto make = [](std::vector<std::pair<GUID, UINT32>> items) {
        ComPtr<IMFAttributes> store = NewAttributes();
        for (const auto& item : items) EXPECT_EQ(store->SetUINT32(item.first, item.second), S_OK);
        return store;
    };
    auto compare = [](const ComPtr<IMFAttributes>& ours, const ComPtr<IMFAttributes>& theirs,
                      MF_ATTRIBUTES_MATCH_TYPE match) {
        BOOL result = 2;
        EXPECT_EQ(ours->Compare(theirs.Get(), match, &result), S_OK);
        return result == TRUE;
    };
    const auto a1 = make({{kKeyA, 1}});
    const auto a1b2 = make({{kKeyA, 1}, {kKeyB, 2}});
    const auto a1c5 = make({{kKeyA, 1}, {kKeyC, 5}});
    const auto a9b2 = make({{kKeyA, 9}, {kKeyB, 2}});
    const auto c5 = make({{kKeyC, 5}});
    const auto b2 = make({{kKeyB, 2}});
    for (const Case& c : cases) {
        EXPECT_EQ(compare(a1, a1b2, c.match), c.subsetOfTheirs) << c.match;
        EXPECT_EQ(compare(a1b2, a1, c.match), c.supersetOfTheirs) << c.match;
        EXPECT_EQ(compare(a1c5, a9b2, c.match), c.conflicting) << c.match;
        EXPECT_EQ(compare(c5, b2, c.match), c.disjoint) << c.match;
        EXPECT_TRUE(compare(a1b2, make({{kKeyB, 2}, {kKeyA, 1}}), c.match)) << c.match;
    }
    BOOL result = FALSE;
    EXPECT_EQ(a1->Compare(a1.Get(), static_cast<MF_ATTRIBUTES_MATCH_TYPE>(7), &result), E_INVALIDARG);
}

TEST_F(VirtualAttributeStore, CompareItemMatchesTypeAndValue)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    ASSERT_EQ(store->SetUINT32(kKeyA, 5), S_OK);
    PROPVARIANT value = EmptyVariant();
    value.vt = VT_UI4;
    value.ulVal = 5;
    BOOL result = FALSE;
    EXPECT_EQ(store->CompareItem(kKeyA, value, &result), S_OK);
    EXPECT_TRUE(result);
    value.ulVal = 6;
    EXPECT_EQ(store->CompareItem(kKeyA, value, &result), S_OK);
    EXPECT_FALSE(result);
    value.vt = VT_UI8;
    value.uhVal.QuadPart = 5;
    EXPECT_EQ(store->CompareItem(kKeyA, value, &result), S_OK);
    EXPECT_FALSE(result);
    value.vt = VT_UI4;
    value.ulVal = 5;
    EXPECT_EQ(store->CompareItem(kKeyB, value, &result), S_OK);
    EXPECT_FALSE(result);
}

TEST_F(VirtualAttributeStore, CopyAllItemsReplacesTheDestination)
{
    ComPtr<IMFAttributes> source = NewAttributes();
    ComPtr<IMFMediaType> destination = NewMediaType();
    ASSERT_EQ(source->SetUINT32(kKeyB, 2), S_OK);
    ASSERT_EQ(source->SetString(kKeyA, TEXT("copied")), S_OK);
    ASSERT_EQ(destination->SetUINT32(kKeyC, 3), S_OK);
    ASSERT_EQ(destination->SetUINT32(kKeyB, 99), S_OK);

    ASSERT_EQ(source->CopyAllItems(destination.Get()), S_OK);
    BOOL same = FALSE;
    ASSERT_EQ(source->Compare(destination.Get(), MF_ATTRIBUTES_MATCH_ALL_ITEMS, &same), S_OK);
    EXPECT_TRUE(same);
    GUID first = GUID_NULL;
    ASSERT_EQ(destination->GetItemByIndex(0, &first, nullptr), S_OK);
    EXPECT_EQ(first, kKeyB);

    // The copy is independent of its source.
    ASSERT_EQ(source->SetUINT32(kKeyB, 7), S_OK);
    UINT32 value = 0;
    EXPECT_EQ(destination->GetUINT32(kKeyB, &value), S_OK);
    EXPECT_EQ(value, 2u);
    EXPECT_EQ(source->CopyAllItems(source.Get()), S_OK);
    ASSERT_EQ(source->GetUINT32(kKeyB, &value), S_OK);
    EXPECT_EQ(value, 7u);
}

TEST_F(VirtualAttributeStore, LockStoreIsHeldByItsThreadAlone)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    ASSERT_EQ(store->LockStore(), S_OK);
    ASSERT_EQ(store->LockStore(), S_OK);
    // The owner keeps using the store while it holds the lock.
    EXPECT_EQ(store->SetUINT32(kKeyA, 1), S_OK);
    HRESULT foreignUnlock = S_OK;
    std::thread([&] { foreignUnlock = store->UnlockStore(); }).join();
    EXPECT_EQ(foreignUnlock, E_UNEXPECTED);
    EXPECT_EQ(store->UnlockStore(), S_OK);
    EXPECT_EQ(store->UnlockStore(), S_OK);
    EXPECT_EQ(store->UnlockStore(), E_UNEXPECTED);

    // Once released, another thread gets in.
    std::mutex mutex;
    std::condition_variable changed;
    bool written = false;
    std::thread writer([&] {
        EXPECT_EQ(store->SetUINT32(kKeyB, 2), S_OK);
        std::lock_guard<std::mutex> lock(mutex);
        written = true;
        changed.notify_all();
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return written; }));
    }
    writer.join();
}

TEST_F(VirtualAttributeStore, ConcurrentWritersAndReadersKeepKeysUnique)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    constexpr int kThreads = 4;
    constexpr int kKeysPerThread = 200;
    std::atomic<int> readFailures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kKeysPerThread; ++i) {
                GUID key = kKeyA;
                key.Data1 = static_cast<uint32_t>(t);
                key.Data2 = static_cast<uint16_t>(i);
                // Every thread also rewrites one shared key, which must stay a single item.
                if (FAILED(store->SetUINT32(key, i)) || FAILED(store->SetUINT32(kKeyC, t))) ++readFailures;
                UINT32 read = 0;
                if (FAILED(store->GetUINT32(key, &read)) || read != static_cast<UINT32>(i)) ++readFailures;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(readFailures.load(), 0);
    UINT32 count = 0;
    ASSERT_EQ(store->GetCount(&count), S_OK);
    EXPECT_EQ(count, static_cast<UINT32>(kThreads * kKeysPerThread + 1));
}

TEST_F(VirtualAttributeStore, OperationsAreNamedAfterTheInterfaceTheObjectWasCreatedAs)
{
    ComPtr<IMFAttributes> store = NewAttributes();
    ComPtr<IMFMediaType> type = NewMediaType();
    ComPtr<IMFMediaEvent> event;
    ASSERT_EQ(CreateEngineEvent(MF_CAPTURE_ENGINE_INITIALIZED, S_OK, event.Put()), S_OK);
    std::vector<ComPtr<IMFActivate>> activates = Enumerate();
    ASSERT_FALSE(activates.empty());

    const unsigned long long before = OperationCount();
    UINT32 value;
    store->GetUINT32(kKeyA, &value);
    type->GetUINT32(kKeyA, &value);
    activates[0]->GetUINT32(kKeyA, &value);
    event->GetUINT32(kKeyA, &value);
    const std::vector<std::string> log = OperationLog();
    ASSERT_EQ(OperationCount(), before + 4);
    EXPECT_EQ(std::vector<std::string>(log.end() - 4, log.end()),
              (std::vector<std::string>{"IMFAttributes::GetUINT32", "IMFMediaType::GetUINT32", "IMFActivate::GetUINT32",
                                        "IMFMediaEvent::GetUINT32"}));
}

TEST_F(VirtualAttributeStore, InjectedFaultsStopTheMethodBeforeItActs)
{
    ComPtr<IMFMediaType> type = NewMediaType();
    FailOperation("IMFMediaType::SetGUID", MF_E_INVALIDREQUEST, 1);
    EXPECT_EQ(type->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_NV12), MF_E_INVALIDREQUEST);
    EXPECT_EQ(type->GetItem(MF_MT_SUBTYPE, nullptr), MF_E_ATTRIBUTENOTFOUND);
    EXPECT_EQ(type->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_NV12), S_OK);
    // A fault on one interface's method leaves the same method of other interfaces alone.
    FailOperation("IMFAttributes::SetGUID", E_FAIL);
    EXPECT_EQ(type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video), S_OK);
}

TEST_F(VirtualAttributeStore, QuietReadsAreNeitherCountedNorFaulted)
{
    ComPtr<IMFMediaType> type = NewMediaType();
    ASSERT_EQ(type->SetUINT64(MF_MT_FRAME_SIZE, Pack(640, 480)), S_OK);
    ASSERT_EQ(type->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_YUY2), S_OK);
    FailOperation("IMFMediaType::GetUINT64", E_FAIL);
    FailOperation("IMFMediaType::GetGUID", E_FAIL);
    FailOperation("IMFMediaType::GetCount", E_FAIL);
    FailOperation("IMFMediaType::GetItemByIndex", E_FAIL);
    const unsigned long long before = OperationCount();

    UINT64 size = 0;
    GUID subtype = GUID_NULL;
    EXPECT_EQ(GetUINT64Quietly(type.Get(), MF_MT_FRAME_SIZE, &size), S_OK);
    EXPECT_EQ(size, Pack(640, 480));
    EXPECT_EQ(GetGUIDQuietly(type.Get(), MF_MT_SUBTYPE, &subtype), S_OK);
    EXPECT_EQ(subtype, MFVideoFormat_YUY2);
    EXPECT_EQ(GetUINT64Quietly(type.Get(), MF_MT_FRAME_RATE, &size), MF_E_ATTRIBUTENOTFOUND);
    EXPECT_EQ(GetGUIDQuietly(type.Get(), MF_MT_FRAME_SIZE, &subtype), MF_E_INVALIDTYPE);
    ComPtr<IMFMediaType> copy;
    ASSERT_EQ(CloneMediaTypeQuietly(type.Get(), copy.Put()), S_OK);
    EXPECT_EQ(OperationCount(), before);

    ClearFaults();
    ASSERT_EQ(type->SetUINT64(MF_MT_FRAME_SIZE, Pack(1, 1)), S_OK);
    EXPECT_EQ(copy->GetUINT64(MF_MT_FRAME_SIZE, &size), S_OK);
    EXPECT_EQ(size, Pack(640, 480));
    BOOL same = FALSE;
    ASSERT_EQ(copy->Compare(type.Get(), MF_ATTRIBUTES_MATCH_OUR_ITEMS, &same), S_OK);
    EXPECT_FALSE(same);
}

TEST_F(VirtualAttributeStore, CreationCallsCountFaultAndCheckTheirOutArgument)
{
    EXPECT_EQ(platform::MFCreateAttributes(nullptr, 0), E_POINTER);
    EXPECT_EQ(platform::MFCreateMediaType(nullptr), E_POINTER);
    FailOperation("MFCreateAttributes", E_OUTOFMEMORY, 1);
    FailOperation("MFCreateMediaType", E_OUTOFMEMORY, 1);
    IMFAttributes* attributes = reinterpret_cast<IMFAttributes*>(0x1);
    IMFMediaType* type = reinterpret_cast<IMFMediaType*>(0x1);
    EXPECT_EQ(platform::MFCreateAttributes(&attributes, 0), E_OUTOFMEMORY);
    EXPECT_EQ(attributes, nullptr);
    EXPECT_EQ(platform::MFCreateMediaType(&type), E_OUTOFMEMORY);
    EXPECT_EQ(type, nullptr);
    EXPECT_EQ(OperationCount("MFCreateAttributes"), 2u);
    EXPECT_EQ(OperationCount("MFCreateMediaType"), 2u);
}

TEST_F(VirtualAttributeStore, EngineEventsCarryTypeExtendedTypeAndStatus)
{
    ComPtr<IMFMediaEvent> event;
    ASSERT_EQ(CreateEngineEvent(MF_CAPTURE_ENGINE_ERROR, MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED, event.Put()), S_OK);
    MediaEventType type = 0;
    GUID extended = GUID_NULL;
    HRESULT status = S_OK;
    PROPVARIANT value = EmptyVariant();
    value.vt = VT_UI4;
    EXPECT_EQ(event->GetType(&type), S_OK);
    EXPECT_EQ(type, static_cast<MediaEventType>(MEExtendedType));
    EXPECT_EQ(event->GetExtendedType(&extended), S_OK);
    EXPECT_EQ(extended, MF_CAPTURE_ENGINE_ERROR);
    EXPECT_EQ(event->GetStatus(&status), S_OK);
    EXPECT_EQ(status, MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED);
    EXPECT_EQ(event->GetValue(&value), S_OK);
    EXPECT_EQ(value.vt, VT_EMPTY);

    FailOperation("IMFMediaEvent::GetStatus", E_UNEXPECTED, 1);
    EXPECT_EQ(event->GetStatus(&status), E_UNEXPECTED);
    EXPECT_EQ(event->GetExtendedType(nullptr), E_POINTER);
}

}  // namespace
}  // namespace lumicap::virt::testing
