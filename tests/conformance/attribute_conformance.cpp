#include "attribute_conformance.h"

#include "platform/com_ptr.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace lumicap::conformance {
namespace {

// Keys of this suite's own, so no store gives them a meaning.
constexpr GUID kKeyA = {0x6c2d0a51, 0x1f3e, 0x4b8a, {0x9d, 0x01, 0x2e, 0x5f, 0x70, 0x81, 0x92, 0xa3}};
constexpr GUID kKeyB = {0x6c2d0a52, 0x1f3e, 0x4b8a, {0x9d, 0x01, 0x2e, 0x5f, 0x70, 0x81, 0x92, 0xa3}};
constexpr GUID kKeyC = {0x6c2d0a53, 0x1f3e, 0x4b8a, {0x9d, 0x01, 0x2e, 0x5f, 0x70, 0x81, 0x92, 0xa3}};
constexpr GUID kMissing = {0x6c2d0a5f, 0x1f3e, 0x4b8a, {0x9d, 0x01, 0x2e, 0x5f, 0x70, 0x81, 0x92, 0xa3}};
// Every byte different, so a store that drops or swaps part of a GUID is caught.
constexpr GUID kValueGuid = {0x01234567, 0x89ab, 0xcdef, {0x10, 0x32, 0x54, 0x76, 0x98, 0xba, 0xdc, 0xfe}};
// Both halves set and different: a store that keeps only 32 bits is caught.
constexpr UINT64 kValue64 = 0xFFFFFFFE00000001ull;
constexpr DWORD kErrorInsufficientBuffer = 122;

const WCHAR kText[] = {'C', 'a', 'm', 'e', 'r', 'a', ' ', 0x00E9, 0x20AC, 0};  // with non-ASCII units
constexpr UINT32 kTextLength = 9;
const UINT8 kBlob[] = {0x00, 0xFF, 0x10, 0x20, 0x7F};

class Suite {
public:
    explicit Suite(const AttributeFactory& factory) : factory_(factory) {}

    bool Check(bool ok, const std::string& what)
    {
        std::printf("%s: %s: %s\n", ok ? "PASS" : "FAIL", factory_.name, what.c_str());
        std::fflush(stdout);
        (ok ? results_.passed : results_.failed)++;
        return ok;
    }

    bool CheckHr(HRESULT actual, HRESULT expected, const std::string& what)
    {
        char text[64];
        std::snprintf(text, sizeof text, " (0x%08lX, got 0x%08lX)", static_cast<unsigned long>(expected),
                      static_cast<unsigned long>(actual));
        return Check(actual == expected, what + text);
    }

    // A fresh store of each kind the factory makes: an attribute store and a media type, which must
    // behave alike as attribute stores.
    void ForEachStore(const std::function<void(IMFAttributes*, const std::string&)>& check)
    {
        ComPtr<IMFAttributes> attributes;
        if (CheckHr(factory_.createAttributes(attributes.Put(), 4), S_OK, "MFCreateAttributes(4)")) {
            check(attributes.Get(), "attributes");
        }
        ComPtr<IMFMediaType> mediaType;
        if (CheckHr(factory_.createMediaType(mediaType.Put()), S_OK, "MFCreateMediaType")) {
            check(mediaType.Get(), "media type");
        }
    }

    ComPtr<IMFAttributes> NewStore()
    {
        ComPtr<IMFAttributes> store;
        factory_.createAttributes(store.Put(), 0);
        return store;
    }

    const AttributeFactory& Factory() const { return factory_; }
    Results Totals() const { return results_; }

private:
    const AttributeFactory& factory_;
    Results results_;
};

UINT32 Count(IMFAttributes* store)
{
    UINT32 count = 0xFFFFFFFF;
    store->GetCount(&count);
    return count;
}

void CheckCreation(Suite& suite)
{
    for (UINT32 initialSize : {0u, 1u, 100u}) {
        ComPtr<IMFAttributes> store;
        const std::string what = "MFCreateAttributes(" + std::to_string(initialSize) + ")";
        if (suite.CheckHr(suite.Factory().createAttributes(store.Put(), initialSize), S_OK, what)) {
            suite.Check(Count(store.Get()) == 0, what + " starts empty");
        }
    }
    ComPtr<IMFMediaType> mediaType;
    if (suite.CheckHr(suite.Factory().createMediaType(mediaType.Put()), S_OK, "MFCreateMediaType")) {
        suite.Check(Count(mediaType.Get()) == 0, "MFCreateMediaType starts empty");
    }
}

// Each typed setter, read back through its getter and GetItemType.
void CheckTypedRoundTrips(Suite& suite, IMFAttributes* store, const std::string& kind)
{
    struct Case {
        const char* name;
        MF_ATTRIBUTE_TYPE type;
        std::function<HRESULT()> set;
        std::function<bool()> readsBack;
    };
    ComPtr<IMFAttributes> object = suite.NewStore();
    const std::vector<Case> cases = {
        {"UINT32", MF_ATTRIBUTE_UINT32, [&] { return store->SetUINT32(kKeyA, 0xFFFFFFF0u); },
         [&] {
             UINT32 v = 0;
             return store->GetUINT32(kKeyA, &v) == S_OK && v == 0xFFFFFFF0u;
         }},
        {"UINT64", MF_ATTRIBUTE_UINT64, [&] { return store->SetUINT64(kKeyA, kValue64); },
         [&] {
             UINT64 v = 0;
             return store->GetUINT64(kKeyA, &v) == S_OK && v == kValue64;
         }},
        {"double", MF_ATTRIBUTE_DOUBLE, [&] { return store->SetDouble(kKeyA, -2.5e-3); },
         [&] {
             double v = 0;
             return store->GetDouble(kKeyA, &v) == S_OK && v == -2.5e-3;
         }},
        {"GUID", MF_ATTRIBUTE_GUID, [&] { return store->SetGUID(kKeyA, kValueGuid); },
         [&] {
             GUID v = GUID_NULL;
             return store->GetGUID(kKeyA, &v) == S_OK && IsEqualGUID(v, kValueGuid);
         }},
        {"string", MF_ATTRIBUTE_STRING, [&] { return store->SetString(kKeyA, kText); },
         [&] {
             WCHAR v[16] = {};
             UINT32 length = 0;
             return store->GetString(kKeyA, v, 16, &length) == S_OK && length == kTextLength &&
                    std::memcmp(v, kText, sizeof kText) == 0;
         }},
        {"blob", MF_ATTRIBUTE_BLOB, [&] { return store->SetBlob(kKeyA, kBlob, sizeof kBlob); },
         [&] {
             UINT8 v[8] = {};
             UINT32 size = 0;
             return store->GetBlob(kKeyA, v, sizeof v, &size) == S_OK && size == sizeof kBlob &&
                    std::memcmp(v, kBlob, sizeof kBlob) == 0;
         }},
        {"IUnknown", MF_ATTRIBUTE_IUNKNOWN, [&] { return store->SetUnknown(kKeyA, object.Get()); },
         [&] {
             ComPtr<IUnknown> v;
             ComPtr<IUnknown> identity;
             object->QueryInterface(IID_IUnknown, identity.PutVoid());
             return store->GetUnknown(kKeyA, IID_IUnknown, v.PutVoid()) == S_OK && v.Get() == identity.Get();
         }},
    };
    for (const Case& c : cases) {
        const std::string what = kind + ": " + c.name;
        store->DeleteAllItems();
        if (!suite.CheckHr(c.set(), S_OK, what + " is set")) continue;
        suite.Check(c.readsBack(), what + " reads back unchanged");
        MF_ATTRIBUTE_TYPE type = MF_ATTRIBUTE_UINT32;
        const HRESULT hr = store->GetItemType(kKeyA, &type);
        suite.Check(hr == S_OK && type == c.type, what + ": GetItemType names its type");
        suite.Check(Count(store) == 1, what + ": one item");
    }
    store->DeleteAllItems();
}

// Every getter on a key that is not there.
void CheckMissingKey(Suite& suite, IMFAttributes* store, const std::string& kind)
{
    store->DeleteAllItems();
    store->SetUINT32(kKeyA, 1);
    UINT32 u32 = 7;
    UINT64 u64 = 7;
    double real = 7;
    GUID guid = kValueGuid;
    WCHAR text[4] = {};
    UINT32 length = 7;
    LPWSTR allocated = nullptr;
    UINT8 bytes[4] = {};
    UINT8* allocatedBytes = nullptr;
    ComPtr<IUnknown> object;
    MF_ATTRIBUTE_TYPE type = MF_ATTRIBUTE_UINT32;
    PROPVARIANT item{};
    const std::vector<std::pair<const char*, std::function<HRESULT()>>> getters = {
        {"GetUINT32", [&] { return store->GetUINT32(kMissing, &u32); }},
        {"GetUINT64", [&] { return store->GetUINT64(kMissing, &u64); }},
        {"GetDouble", [&] { return store->GetDouble(kMissing, &real); }},
        {"GetGUID", [&] { return store->GetGUID(kMissing, &guid); }},
        {"GetStringLength", [&] { return store->GetStringLength(kMissing, &length); }},
        {"GetString", [&] { return store->GetString(kMissing, text, 4, &length); }},
        {"GetAllocatedString", [&] { return store->GetAllocatedString(kMissing, &allocated, &length); }},
        {"GetBlobSize", [&] { return store->GetBlobSize(kMissing, &length); }},
        {"GetBlob", [&] { return store->GetBlob(kMissing, bytes, sizeof bytes, &length); }},
        {"GetAllocatedBlob", [&] { return store->GetAllocatedBlob(kMissing, &allocatedBytes, &length); }},
        {"GetUnknown", [&] { return store->GetUnknown(kMissing, IID_IUnknown, object.PutVoid()); }},
        {"GetItemType", [&] { return store->GetItemType(kMissing, &type); }},
        {"GetItem", [&] { return store->GetItem(kMissing, &item); }},
        {"GetItem without a value", [&] { return store->GetItem(kMissing, nullptr); }},
    };
    for (const auto& getter : getters) {
        suite.CheckHr(getter.second(), MF_E_ATTRIBUTENOTFOUND, kind + ": " + getter.first + " of a missing key");
    }
    suite.Check(u32 == 7 && u64 == 7 && real == 7 && IsEqualGUID(guid, kValueGuid) && !allocated && !allocatedBytes,
                kind + ": a missing key leaves the out values alone");
    suite.CheckHr(store->GetItem(kKeyA, nullptr), S_OK, kind + ": GetItem without a value finds a present key");
    store->DeleteAllItems();
}

// Every getter on a key of another type.
void CheckWrongType(Suite& suite, IMFAttributes* store, const std::string& kind)
{
    UINT32 u32 = 0;
    UINT64 u64 = 0;
    double real = 0;
    GUID guid = GUID_NULL;
    WCHAR text[16] = {};
    UINT32 length = 0;
    UINT8 bytes[16] = {};
    ComPtr<IUnknown> object;
    struct Case {
        const char* what;
        std::function<HRESULT()> set;
        std::function<HRESULT()> get;
    };
    const std::vector<Case> cases = {
        {"GetUINT64 of a UINT32", [&] { return store->SetUINT32(kKeyB, 5); }, [&] { return store->GetUINT64(kKeyB, &u64); }},
        {"GetUINT32 of a UINT64", [&] { return store->SetUINT64(kKeyB, 5); }, [&] { return store->GetUINT32(kKeyB, &u32); }},
        {"GetDouble of a UINT64", [&] { return store->SetUINT64(kKeyB, 5); }, [&] { return store->GetDouble(kKeyB, &real); }},
        {"GetGUID of a string", [&] { return store->SetString(kKeyB, kText); }, [&] { return store->GetGUID(kKeyB, &guid); }},
        {"GetString of a GUID", [&] { return store->SetGUID(kKeyB, kValueGuid); },
         [&] { return store->GetString(kKeyB, text, 16, &length); }},
        {"GetStringLength of a blob", [&] { return store->SetBlob(kKeyB, kBlob, sizeof kBlob); },
         [&] { return store->GetStringLength(kKeyB, &length); }},
        {"GetBlob of a string", [&] { return store->SetString(kKeyB, kText); },
         [&] { return store->GetBlob(kKeyB, bytes, sizeof bytes, &length); }},
        {"GetBlobSize of a UINT32", [&] { return store->SetUINT32(kKeyB, 5); }, [&] { return store->GetBlobSize(kKeyB, &length); }},
        {"GetUnknown of a UINT32", [&] { return store->SetUINT32(kKeyB, 5); },
         [&] { return store->GetUnknown(kKeyB, IID_IUnknown, object.PutVoid()); }},
    };
    for (const Case& c : cases) {
        store->DeleteAllItems();
        c.set();
        suite.CheckHr(c.get(), MF_E_INVALIDTYPE, kind + ": " + c.what);
    }
    store->DeleteAllItems();
}

// GetItem hands out a PROPVARIANT of the item's type; SetItem takes one.
void CheckVariants(Suite& suite, IMFAttributes* store, const std::string& kind)
{
    store->DeleteAllItems();
    store->SetUINT32(kKeyA, 42);
    store->SetUINT64(MF_MT_FRAME_SIZE, (UINT64{1920} << 32) | 1080);
    store->SetGUID(kKeyB, kValueGuid);
    store->SetString(kKeyC, kText);

    PROPVARIANT item{};
    HRESULT hr = store->GetItem(kKeyA, &item);
    suite.Check(hr == S_OK && item.vt == VT_UI4 && item.ulVal == 42, kind + ": GetItem of a UINT32 is VT_UI4");
    PropVariantClear(&item);
    hr = store->GetItem(MF_MT_FRAME_SIZE, &item);
    suite.Check(hr == S_OK && item.vt == VT_UI8 && item.uhVal.u.HighPart == 1920 && item.uhVal.u.LowPart == 1080,
                kind + ": GetItem of a frame size is VT_UI8 with the width high and the height low");
    PropVariantClear(&item);
    hr = store->GetItem(kKeyB, &item);
    suite.Check(hr == S_OK && item.vt == VT_CLSID && item.puuid && IsEqualGUID(*item.puuid, kValueGuid),
                kind + ": GetItem of a GUID is VT_CLSID with the whole GUID");
    PropVariantClear(&item);
    hr = store->GetItem(kKeyC, &item);
    suite.Check(hr == S_OK && item.vt == VT_LPWSTR && item.pwszVal &&
                    std::memcmp(item.pwszVal, kText, sizeof kText) == 0,
                kind + ": GetItem of a string is VT_LPWSTR, a copy of the text");
    PropVariantClear(&item);

    PROPVARIANT value{};
    value.vt = VT_UI8;
    value.uhVal.QuadPart = kValue64;
    suite.CheckHr(store->SetItem(kKeyA, value), S_OK, kind + ": SetItem(VT_UI8) over a UINT32");
    UINT64 u64 = 0;
    hr = store->GetUINT64(kKeyA, &u64);
    suite.Check(hr == S_OK && u64 == kValue64, kind + ": SetItem(VT_UI8) reads back through GetUINT64, both halves");
    value = PROPVARIANT{};
    value.vt = VT_R8;
    value.dblVal = 0.25;
    suite.CheckHr(store->SetItem(kKeyB, value), S_OK, kind + ": SetItem(VT_R8)");
    double real = 0;
    hr = store->GetDouble(kKeyB, &real);
    suite.Check(hr == S_OK && real == 0.25, kind + ": SetItem(VT_R8) reads back through GetDouble");

    // Only the seven attribute types are items.
    for (VARTYPE vt : {VARTYPE(VT_I4), VARTYPE(VT_BOOL), VARTYPE(VT_I8)}) {
        value = PROPVARIANT{};
        value.vt = vt;
        suite.CheckHr(store->SetItem(kMissing, value), MF_E_INVALIDTYPE,
                      kind + ": SetItem with VARTYPE " + std::to_string(vt) + " is refused");
    }
    store->DeleteAllItems();
}

void CheckOverwriteAndCounts(Suite& suite, IMFAttributes* store, const std::string& kind)
{
    store->DeleteAllItems();
    store->SetUINT32(kKeyA, 1);
    store->SetUINT32(kKeyA, 2);
    UINT32 u32 = 0;
    suite.Check(Count(store) == 1 && store->GetUINT32(kKeyA, &u32) == S_OK && u32 == 2,
                kind + ": setting a key again replaces its value");
    store->SetString(kKeyA, kText);
    MF_ATTRIBUTE_TYPE type = MF_ATTRIBUTE_UINT32;
    suite.Check(Count(store) == 1 && store->GetItemType(kKeyA, &type) == S_OK && type == MF_ATTRIBUTE_STRING,
                kind + ": setting a key with another type replaces its type");

    store->SetUINT64(kKeyB, 3);
    store->SetGUID(kKeyC, kValueGuid);
    suite.Check(Count(store) == 3, kind + ": three keys, three items");
    std::vector<GUID> keys;
    for (UINT32 i = 0; i < 3; ++i) {
        GUID key = GUID_NULL;
        if (store->GetItemByIndex(i, &key, nullptr) == S_OK) keys.push_back(key);
    }
    const auto has = [&](REFGUID key) {
        for (const GUID& k : keys) {
            if (IsEqualGUID(k, key)) return true;
        }
        return false;
    };
    suite.Check(keys.size() == 3 && has(kKeyA) && has(kKeyB) && has(kKeyC),
                kind + ": GetItemByIndex lists each key once");
    GUID key = GUID_NULL;
    suite.CheckHr(store->GetItemByIndex(3, &key, nullptr), E_INVALIDARG, kind + ": GetItemByIndex past the end");

    suite.CheckHr(store->DeleteItem(kKeyB), S_OK, kind + ": DeleteItem");
    suite.Check(Count(store) == 2 && store->GetItem(kKeyB, nullptr) == MF_E_ATTRIBUTENOTFOUND,
                kind + ": a deleted key is gone");
    suite.CheckHr(store->DeleteItem(kMissing), S_OK, kind + ": DeleteItem of a missing key");
    suite.Check(Count(store) == 2, kind + ": deleting a missing key changes nothing");
    suite.CheckHr(store->DeleteAllItems(), S_OK, kind + ": DeleteAllItems");
    suite.Check(Count(store) == 0, kind + ": no item after DeleteAllItems");
}

void CheckStrings(Suite& suite, IMFAttributes* store, const std::string& kind)
{
    store->DeleteAllItems();
    store->SetString(kKeyA, kText);
    UINT32 length = 0;
    HRESULT hr = store->GetStringLength(kKeyA, &length);
    suite.Check(hr == S_OK && length == kTextLength, kind + ": GetStringLength counts UTF-16 units, no terminator");

    WCHAR exact[kTextLength + 1] = {};
    length = 0;
    hr = store->GetString(kKeyA, exact, kTextLength + 1, &length);
    suite.Check(hr == S_OK && length == kTextLength && std::memcmp(exact, kText, sizeof kText) == 0,
                kind + ": GetString into a buffer of length + 1");
    WCHAR small[kTextLength] = {};
    suite.CheckHr(store->GetString(kKeyA, small, kTextLength, &length), HRESULT_FROM_WIN32(kErrorInsufficientBuffer),
                  kind + ": GetString into a buffer without room for the terminator");

    LPWSTR allocated = nullptr;
    length = 0;
    hr = store->GetAllocatedString(kKeyA, &allocated, &length);
    suite.Check(hr == S_OK && allocated && length == kTextLength && std::memcmp(allocated, kText, sizeof kText) == 0,
                kind + ": GetAllocatedString gives a terminated copy and its length");
    CoTaskMemFree(allocated);

    const WCHAR empty[] = {0};
    store->SetString(kKeyB, empty);
    length = 7;
    hr = store->GetStringLength(kKeyB, &length);
    suite.Check(hr == S_OK && length == 0, kind + ": an empty string has length 0");
    allocated = nullptr;
    hr = store->GetAllocatedString(kKeyB, &allocated, &length);
    suite.Check(hr == S_OK && allocated && allocated[0] == 0 && length == 0,
                kind + ": GetAllocatedString of an empty string gives a terminator");
    CoTaskMemFree(allocated);

    UINT32 size = 0;
    store->SetBlob(kKeyC, kBlob, sizeof kBlob);
    hr = store->GetBlobSize(kKeyC, &size);
    suite.Check(hr == S_OK && size == sizeof kBlob, kind + ": GetBlobSize");
    UINT8 tooSmall[sizeof kBlob - 1] = {};
    suite.CheckHr(store->GetBlob(kKeyC, tooSmall, sizeof tooSmall, &size), HRESULT_FROM_WIN32(kErrorInsufficientBuffer),
                  kind + ": GetBlob into a buffer one byte short");
    UINT8* blob = nullptr;
    hr = store->GetAllocatedBlob(kKeyC, &blob, &size);
    suite.Check(hr == S_OK && blob && size == sizeof kBlob && std::memcmp(blob, kBlob, sizeof kBlob) == 0,
                kind + ": GetAllocatedBlob gives a copy and its size");
    CoTaskMemFree(blob);
    store->DeleteAllItems();
}

void CheckCompareAndCopy(Suite& suite, IMFAttributes* store, const std::string& kind)
{
    store->DeleteAllItems();
    store->SetUINT32(kKeyA, 1);
    store->SetGUID(kKeyB, kValueGuid);

    PROPVARIANT value{};
    value.vt = VT_UI4;
    value.ulVal = 1;
    BOOL same = FALSE;
    HRESULT hr = store->CompareItem(kKeyA, value, &same);
    suite.Check(hr == S_OK && same, kind + ": CompareItem with the same value");
    value.ulVal = 2;
    same = TRUE;
    hr = store->CompareItem(kKeyA, value, &same);
    suite.Check(hr == S_OK && !same, kind + ": CompareItem with another value");
    value.vt = VT_UI8;
    value.uhVal.QuadPart = 1;
    same = TRUE;
    hr = store->CompareItem(kKeyA, value, &same);
    suite.Check(hr == S_OK && !same, kind + ": CompareItem with the same number of another type");
    same = TRUE;
    hr = store->CompareItem(kMissing, value, &same);
    suite.Check(hr == S_OK && !same, kind + ": CompareItem of a missing key");

    // Theirs holds ours and one more.
    ComPtr<IMFAttributes> theirs = suite.NewStore();
    theirs->SetUINT32(kKeyA, 1);
    theirs->SetGUID(kKeyB, kValueGuid);
    theirs->SetUINT64(kKeyC, 9);
    struct Match {
        MF_ATTRIBUTES_MATCH_TYPE type;
        const char* name;
        BOOL expected;
    };
    const Match matches[] = {
        {MF_ATTRIBUTES_MATCH_OUR_ITEMS, "OUR_ITEMS", TRUE},  {MF_ATTRIBUTES_MATCH_THEIR_ITEMS, "THEIR_ITEMS", FALSE},
        {MF_ATTRIBUTES_MATCH_ALL_ITEMS, "ALL_ITEMS", FALSE}, {MF_ATTRIBUTES_MATCH_INTERSECTION, "INTERSECTION", TRUE},
        {MF_ATTRIBUTES_MATCH_SMALLER, "SMALLER", TRUE},
    };
    for (const Match& match : matches) {
        BOOL result = !match.expected;
        hr = store->Compare(theirs.Get(), match.type, &result);
        suite.Check(hr == S_OK && result == match.expected,
                    kind + ": Compare(" + match.name + ") with a superset is " + (match.expected ? "TRUE" : "FALSE"));
    }
    theirs->SetUINT32(kKeyA, 2);
    BOOL result = TRUE;
    hr = store->Compare(theirs.Get(), MF_ATTRIBUTES_MATCH_INTERSECTION, &result);
    suite.Check(hr == S_OK && !result, kind + ": Compare(INTERSECTION) with a differing shared key is FALSE");

    // CopyAllItems replaces what the destination held.
    ComPtr<IMFAttributes> copy = suite.NewStore();
    copy->SetUINT32(kKeyC, 5);
    suite.CheckHr(store->CopyAllItems(copy.Get()), S_OK, kind + ": CopyAllItems");
    result = FALSE;
    hr = store->Compare(copy.Get(), MF_ATTRIBUTES_MATCH_ALL_ITEMS, &result);
    suite.Check(hr == S_OK && result && Count(copy.Get()) == 2,
                kind + ": the copy holds exactly the source's items");
    store->DeleteAllItems();
}

void CheckMediaType(Suite& suite)
{
    ComPtr<IMFMediaType> mediaType;
    if (FAILED(suite.Factory().createMediaType(mediaType.Put()))) return;
    GUID major = GUID_NULL;
    suite.CheckHr(mediaType->GetMajorType(&major), MF_E_ATTRIBUTENOTFOUND, "media type: GetMajorType before it is set");
    mediaType->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
    HRESULT hr = mediaType->GetMajorType(&major);
    suite.Check(hr == S_OK && IsEqualGUID(major, MFMediaType_Video), "media type: GetMajorType reads MF_MT_MAJOR_TYPE");
    ComPtr<IMFAttributes> attributes;
    hr = mediaType->QueryInterface(IID_IMFAttributes, attributes.PutVoid());
    suite.Check(hr == S_OK && attributes, "media type: QueryInterface(IMFAttributes)");
    UINT32 count = 0;
    suite.Check(attributes && attributes->GetCount(&count) == S_OK && count == 1,
                "media type: its IMFAttributes sees the same items");
}

}  // namespace

Results RunAttributeConformance(const AttributeFactory& factory)
{
    Suite suite(factory);
    CheckCreation(suite);
    suite.ForEachStore([&](IMFAttributes* store, const std::string& kind) {
        CheckTypedRoundTrips(suite, store, kind);
        CheckMissingKey(suite, store, kind);
        CheckWrongType(suite, store, kind);
        CheckVariants(suite, store, kind);
        CheckOverwriteAndCounts(suite, store, kind);
        CheckStrings(suite, store, kind);
        CheckCompareAndCopy(suite, store, kind);
    });
    CheckMediaType(suite);
    return suite.Totals();
}

}  // namespace lumicap::conformance
