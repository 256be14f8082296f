// The contents of a virtual attribute store: typed values under unique keys, in insertion order,
// behind a lock. The COM objects (attribute stores, media types, activations, events) forward to it.
#pragma once

#include "../com_ptr.h"
#include "../platform.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace lumicap::virt {

using WideString = std::basic_string<WCHAR>;

struct AttributeValue {
    MF_ATTRIBUTE_TYPE type = MF_ATTRIBUTE_UINT32;
    UINT64 number = 0;  // MF_ATTRIBUTE_UINT32 and MF_ATTRIBUTE_UINT64
    double real = 0;
    GUID guid = GUID_NULL;
    WideString text;
    std::vector<UINT8> blob;
    ComPtr<IUnknown> object;
};

bool operator==(const AttributeValue& a, const AttributeValue& b);
inline bool operator!=(const AttributeValue& a, const AttributeValue& b) { return !(a == b); }

// Deep copy into a caller's PROPVARIANT, which the caller clears with PropVariantClear.
HRESULT ToPropVariant(const AttributeValue& value, PROPVARIANT* variant);
// Accepts only the seven attribute types; anything else is MF_E_INVALIDTYPE.
HRESULT FromPropVariant(const PROPVARIANT& variant, AttributeValue* value);

using AttributeItem = std::pair<GUID, AttributeValue>;

class AttributeItems {
public:
    HRESULT GetItem(REFGUID key, PROPVARIANT* value) const;
    HRESULT GetItemType(REFGUID key, MF_ATTRIBUTE_TYPE* type) const;
    HRESULT CompareItem(REFGUID key, REFPROPVARIANT value, BOOL* result) const;
    HRESULT Compare(IMFAttributes* theirs, MF_ATTRIBUTES_MATCH_TYPE matchType, BOOL* result) const;
    HRESULT GetUINT32(REFGUID key, UINT32* value) const;
    HRESULT GetUINT64(REFGUID key, UINT64* value) const;
    HRESULT GetDouble(REFGUID key, double* value) const;
    HRESULT GetGUID(REFGUID key, GUID* value) const;
    HRESULT GetStringLength(REFGUID key, UINT32* length) const;
    HRESULT GetString(REFGUID key, LPWSTR buffer, UINT32 bufferSize, UINT32* length) const;
    HRESULT GetAllocatedString(REFGUID key, LPWSTR* value, UINT32* length) const;
    HRESULT GetBlobSize(REFGUID key, UINT32* size) const;
    HRESULT GetBlob(REFGUID key, UINT8* buffer, UINT32 bufferSize, UINT32* size) const;
    HRESULT GetAllocatedBlob(REFGUID key, UINT8** buffer, UINT32* size) const;
    HRESULT GetUnknown(REFGUID key, REFIID iid, void** object) const;
    HRESULT SetItem(REFGUID key, REFPROPVARIANT value);
    HRESULT DeleteItem(REFGUID key);
    HRESULT DeleteAllItems();
    HRESULT SetUINT32(REFGUID key, UINT32 value);
    HRESULT SetUINT64(REFGUID key, UINT64 value);
    HRESULT SetDouble(REFGUID key, double value);
    HRESULT SetGUID(REFGUID key, REFGUID value);
    HRESULT SetString(REFGUID key, LPCWSTR value);
    HRESULT SetBlob(REFGUID key, const UINT8* buffer, UINT32 size);
    HRESULT SetUnknown(REFGUID key, IUnknown* object);
    HRESULT LockStore();
    HRESULT UnlockStore();
    HRESULT GetCount(UINT32* count) const;
    HRESULT GetItemByIndex(UINT32 index, GUID* key, PROPVARIANT* value) const;
    HRESULT CopyAllItems(IMFAttributes* destination) const;

    // A copy of every item, in order.
    HRESULT Snapshot(std::vector<AttributeItem>* items) const;
    // Replaces every item at once.
    void Replace(std::vector<AttributeItem> items);
    HRESULT Find(REFGUID key, AttributeValue* value) const;

private:
    HRESULT Store(REFGUID key, AttributeValue value);
    template <typename Read>
    HRESULT ReadTyped(REFGUID key, MF_ATTRIBUTE_TYPE type, Read read) const;
    const AttributeValue* FindLocked(REFGUID key) const;

    mutable std::recursive_mutex mutex_;
    std::vector<AttributeItem> items_;
    // LockStore holds mutex_ across calls; only its owner may unlock it.
    std::atomic<std::thread::id> lockOwner_{};
    unsigned lockDepth_ = 0;
};

// The value under key in a list of items, or null.
const AttributeValue* FindItem(const std::vector<AttributeItem>& items, REFGUID key);
// Every item of `subset` is in `superset` with the same value.
bool IsSubset(const std::vector<AttributeItem>& subset, const std::vector<AttributeItem>& superset);

// The items of any attribute store: read directly from a virtual one, through IMFAttributes otherwise.
HRESULT SnapshotAttributes(IMFAttributes* attributes, std::vector<AttributeItem>* items);

}  // namespace lumicap::virt
