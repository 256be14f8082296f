// The typed item storage shared by every virtual attribute store.
#include "attribute_items.h"

#include "attribute_store.h"
#include "platform/no_throw.h"

#include <algorithm>
#include <cstring>

namespace lumicap::virt {
namespace {

constexpr DWORD kErrorInsufficientBuffer = 122;

HRESULT InsufficientBuffer() { return HRESULT_FROM_WIN32(kErrorInsufficientBuffer); }

template <typename T>
T* AllocateTaskMemory(size_t count)
{
    return static_cast<T*>(CoTaskMemAlloc(std::max<size_t>(count, 1) * sizeof(T)));
}

AttributeValue NumberValue(MF_ATTRIBUTE_TYPE type, UINT64 number)
{
    AttributeValue value;
    value.type = type;
    value.number = number;
    return value;
}

bool Contains(const std::vector<AttributeItem>& items, const AttributeItem& item)
{
    const AttributeValue* found = FindItem(items, item.first);
    return found && *found == item.second;
}

// Every key present in both carries the same value.
bool AgreeOnShared(const std::vector<AttributeItem>& ours, const std::vector<AttributeItem>& theirs)
{
    return std::all_of(ours.begin(), ours.end(), [&](const AttributeItem& item) {
        return !FindItem(theirs, item.first) || Contains(theirs, item);
    });
}

HRESULT SnapshotForeign(IMFAttributes* attributes, std::vector<AttributeItem>* items)
{
    UINT32 count = 0;
    HRESULT hr = attributes->GetCount(&count);
    if (FAILED(hr)) return hr;
    for (UINT32 i = 0; i < count; ++i) {
        AttributeItem item;
        PROPVARIANT variant;
        std::memset(&variant, 0, sizeof variant);
        hr = attributes->GetItemByIndex(i, &item.first, &variant);
        if (SUCCEEDED(hr)) hr = FromPropVariant(variant, &item.second);
        PropVariantClear(&variant);
        if (FAILED(hr)) return hr;
        items->push_back(std::move(item));
    }
    return S_OK;
}

HRESULT CopyIntoForeign(const std::vector<AttributeItem>& items, IMFAttributes* destination)
{
    HRESULT hr = destination->DeleteAllItems();
    for (const AttributeItem& item : items) {
        if (FAILED(hr)) break;
        PROPVARIANT variant;
        hr = ToPropVariant(item.second, &variant);
        if (SUCCEEDED(hr)) hr = destination->SetItem(item.first, variant);
        PropVariantClear(&variant);
    }
    return hr;
}

}  // namespace

bool operator==(const AttributeValue& a, const AttributeValue& b)
{
    if (a.type != b.type) return false;
    switch (a.type) {
    case MF_ATTRIBUTE_UINT32:
    case MF_ATTRIBUTE_UINT64: return a.number == b.number;
    case MF_ATTRIBUTE_DOUBLE: return a.real == b.real;
    case MF_ATTRIBUTE_GUID: return a.guid == b.guid;
    case MF_ATTRIBUTE_STRING: return a.text == b.text;
    case MF_ATTRIBUTE_BLOB: return a.blob == b.blob;
    case MF_ATTRIBUTE_IUNKNOWN: return a.object.Get() == b.object.Get();
    }
    return false;
}

HRESULT ToPropVariant(const AttributeValue& value, PROPVARIANT* variant)
{
    std::memset(variant, 0, sizeof *variant);
    switch (value.type) {
    case MF_ATTRIBUTE_UINT32: variant->ulVal = static_cast<ULONG>(value.number); break;
    case MF_ATTRIBUTE_UINT64: variant->uhVal.QuadPart = value.number; break;
    case MF_ATTRIBUTE_DOUBLE: variant->dblVal = value.real; break;
    case MF_ATTRIBUTE_GUID:
        variant->puuid = AllocateTaskMemory<GUID>(1);
        if (!variant->puuid) return E_OUTOFMEMORY;
        *variant->puuid = value.guid;
        break;
    case MF_ATTRIBUTE_STRING:
        variant->pwszVal = AllocateTaskMemory<WCHAR>(value.text.size() + 1);
        if (!variant->pwszVal) return E_OUTOFMEMORY;
        std::copy(value.text.begin(), value.text.end(), variant->pwszVal);
        variant->pwszVal[value.text.size()] = 0;
        break;
    case MF_ATTRIBUTE_BLOB:
        variant->caub.pElems = AllocateTaskMemory<UCHAR>(value.blob.size());
        if (!variant->caub.pElems) return E_OUTOFMEMORY;
        std::copy(value.blob.begin(), value.blob.end(), variant->caub.pElems);
        variant->caub.cElems = static_cast<ULONG>(value.blob.size());
        break;
    case MF_ATTRIBUTE_IUNKNOWN:
        variant->punkVal = value.object.Get();
        variant->punkVal->AddRef();
        break;
    }
    variant->vt = static_cast<VARTYPE>(value.type);
    return S_OK;
}

HRESULT FromPropVariant(const PROPVARIANT& variant, AttributeValue* value)
{
    return NoThrow([&]() -> HRESULT {
        AttributeValue result;
        result.type = static_cast<MF_ATTRIBUTE_TYPE>(variant.vt);
        switch (variant.vt) {
        case MF_ATTRIBUTE_UINT32: result.number = variant.ulVal; break;
        case MF_ATTRIBUTE_UINT64: result.number = variant.uhVal.QuadPart; break;
        case MF_ATTRIBUTE_DOUBLE: result.real = variant.dblVal; break;
        case MF_ATTRIBUTE_GUID:
            if (!variant.puuid) return E_INVALIDARG;
            result.guid = *variant.puuid;
            break;
        case MF_ATTRIBUTE_STRING:
            if (!variant.pwszVal) return E_INVALIDARG;
            result.text = variant.pwszVal;
            break;
        case MF_ATTRIBUTE_BLOB:
            if (!variant.caub.pElems && variant.caub.cElems != 0) return E_INVALIDARG;
            result.blob.assign(variant.caub.pElems, variant.caub.pElems + variant.caub.cElems);
            break;
        case MF_ATTRIBUTE_IUNKNOWN:
            if (!variant.punkVal) return E_INVALIDARG;
            result.object = ComPtr<IUnknown>::Share(variant.punkVal);
            break;
        default: return MF_E_INVALIDTYPE;
        }
        *value = std::move(result);
        return S_OK;
    });
}

const AttributeValue* FindItem(const std::vector<AttributeItem>& items, REFGUID key)
{
    for (const AttributeItem& item : items) {
        if (item.first == key) return &item.second;
    }
    return nullptr;
}

bool IsSubset(const std::vector<AttributeItem>& subset, const std::vector<AttributeItem>& superset)
{
    const auto inSuperset = [&](const AttributeItem& item) { return Contains(superset, item); };
    return std::all_of(subset.begin(), subset.end(), inSuperset);
}

HRESULT SnapshotAttributes(IMFAttributes* attributes, std::vector<AttributeItem>* items)
{
    if (!attributes) return E_POINTER;
    items->clear();
    return NoThrow([&]() -> HRESULT {
        if (ComPtr<IVirtualAttributes> store = AsVirtualAttributes(attributes)) return store->Items().Snapshot(items);
        return SnapshotForeign(attributes, items);
    });
}

ComPtr<IVirtualAttributes> AsVirtualAttributes(IUnknown* object)
{
    ComPtr<IVirtualAttributes> store;
    if (object) object->QueryInterface(IID_IVirtualAttributes, store.PutVoid());
    return store;
}

// ---- Lookup ---------------------------------------------------------------------------------------

const AttributeValue* AttributeItems::FindLocked(REFGUID key) const { return FindItem(items_, key); }

template <typename Read>
HRESULT AttributeItems::ReadTyped(REFGUID key, MF_ATTRIBUTE_TYPE type, Read read) const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const AttributeValue* value = FindLocked(key);
    if (!value) return MF_E_ATTRIBUTENOTFOUND;
    if (value->type != type) return MF_E_INVALIDTYPE;
    return read(*value);
}

HRESULT AttributeItems::Find(REFGUID key, AttributeValue* value) const
{
    return NoThrow([&]() -> HRESULT {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        const AttributeValue* found = FindLocked(key);
        if (!found) return MF_E_ATTRIBUTENOTFOUND;
        *value = *found;
        return S_OK;
    });
}

HRESULT AttributeItems::Snapshot(std::vector<AttributeItem>* items) const
{
    return NoThrow([&]() -> HRESULT {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        *items = items_;
        return S_OK;
    });
}

void AttributeItems::Replace(std::vector<AttributeItem> items)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    items_.swap(items);
}

// ---- Reads ----------------------------------------------------------------------------------------

HRESULT AttributeItems::GetItem(REFGUID key, PROPVARIANT* value) const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const AttributeValue* found = FindLocked(key);
    if (!found) return MF_E_ATTRIBUTENOTFOUND;
    return value ? ToPropVariant(*found, value) : S_OK;
}

HRESULT AttributeItems::GetItemType(REFGUID key, MF_ATTRIBUTE_TYPE* type) const
{
    if (!type) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const AttributeValue* found = FindLocked(key);
    if (!found) return MF_E_ATTRIBUTENOTFOUND;
    *type = found->type;
    return S_OK;
}

HRESULT AttributeItems::CompareItem(REFGUID key, REFPROPVARIANT value, BOOL* result) const
{
    if (!result) return E_POINTER;
    *result = FALSE;
    AttributeValue theirs;
    if (FAILED(FromPropVariant(value, &theirs))) return S_OK;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const AttributeValue* found = FindLocked(key);
    *result = found && *found == theirs;
    return S_OK;
}

HRESULT AttributeItems::Compare(IMFAttributes* theirs, MF_ATTRIBUTES_MATCH_TYPE matchType, BOOL* result) const
{
    if (!theirs || !result) return E_POINTER;
    *result = FALSE;
    std::vector<AttributeItem> mine;
    std::vector<AttributeItem> other;
    HRESULT hr = Snapshot(&mine);
    if (SUCCEEDED(hr)) hr = SnapshotAttributes(theirs, &other);
    if (FAILED(hr)) return hr;
    switch (matchType) {
    case MF_ATTRIBUTES_MATCH_OUR_ITEMS: *result = IsSubset(mine, other); break;
    case MF_ATTRIBUTES_MATCH_THEIR_ITEMS: *result = IsSubset(other, mine); break;
    case MF_ATTRIBUTES_MATCH_ALL_ITEMS: *result = mine.size() == other.size() && IsSubset(mine, other); break;
    case MF_ATTRIBUTES_MATCH_INTERSECTION: *result = AgreeOnShared(mine, other); break;
    case MF_ATTRIBUTES_MATCH_SMALLER:
        *result = mine.size() <= other.size() ? IsSubset(mine, other) : IsSubset(other, mine);
        break;
    default: return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT AttributeItems::GetUINT32(REFGUID key, UINT32* value) const
{
    if (!value) return E_POINTER;
    return ReadTyped(key, MF_ATTRIBUTE_UINT32, [&](const AttributeValue& found) {
        *value = static_cast<UINT32>(found.number);
        return S_OK;
    });
}

HRESULT AttributeItems::GetUINT64(REFGUID key, UINT64* value) const
{
    if (!value) return E_POINTER;
    return ReadTyped(key, MF_ATTRIBUTE_UINT64, [&](const AttributeValue& found) {
        *value = found.number;
        return S_OK;
    });
}

HRESULT AttributeItems::GetDouble(REFGUID key, double* value) const
{
    if (!value) return E_POINTER;
    return ReadTyped(key, MF_ATTRIBUTE_DOUBLE, [&](const AttributeValue& found) {
        *value = found.real;
        return S_OK;
    });
}

HRESULT AttributeItems::GetGUID(REFGUID key, GUID* value) const
{
    if (!value) return E_POINTER;
    return ReadTyped(key, MF_ATTRIBUTE_GUID, [&](const AttributeValue& found) {
        *value = found.guid;
        return S_OK;
    });
}

HRESULT AttributeItems::GetStringLength(REFGUID key, UINT32* length) const
{
    if (!length) return E_POINTER;
    return ReadTyped(key, MF_ATTRIBUTE_STRING, [&](const AttributeValue& found) {
        *length = static_cast<UINT32>(found.text.size());
        return S_OK;
    });
}

HRESULT AttributeItems::GetString(REFGUID key, LPWSTR buffer, UINT32 bufferSize, UINT32* length) const
{
    if (!buffer) return E_POINTER;
    return ReadTyped(key, MF_ATTRIBUTE_STRING, [&](const AttributeValue& found) {
        if (found.text.size() >= bufferSize) return InsufficientBuffer();
        std::copy(found.text.begin(), found.text.end(), buffer);
        buffer[found.text.size()] = 0;
        if (length) *length = static_cast<UINT32>(found.text.size());
        return S_OK;
    });
}

HRESULT AttributeItems::GetAllocatedString(REFGUID key, LPWSTR* value, UINT32* length) const
{
    if (!value || !length) return E_POINTER;
    *value = nullptr;
    return ReadTyped(key, MF_ATTRIBUTE_STRING, [&](const AttributeValue& found) {
        WCHAR* copy = AllocateTaskMemory<WCHAR>(found.text.size() + 1);
        if (!copy) return E_OUTOFMEMORY;
        std::copy(found.text.begin(), found.text.end(), copy);
        copy[found.text.size()] = 0;
        *value = copy;
        *length = static_cast<UINT32>(found.text.size());
        return S_OK;
    });
}

HRESULT AttributeItems::GetBlobSize(REFGUID key, UINT32* size) const
{
    if (!size) return E_POINTER;
    return ReadTyped(key, MF_ATTRIBUTE_BLOB, [&](const AttributeValue& found) {
        *size = static_cast<UINT32>(found.blob.size());
        return S_OK;
    });
}

HRESULT AttributeItems::GetBlob(REFGUID key, UINT8* buffer, UINT32 bufferSize, UINT32* size) const
{
    if (!buffer) return E_POINTER;
    return ReadTyped(key, MF_ATTRIBUTE_BLOB, [&](const AttributeValue& found) {
        if (found.blob.size() > bufferSize) return InsufficientBuffer();
        std::copy(found.blob.begin(), found.blob.end(), buffer);
        if (size) *size = static_cast<UINT32>(found.blob.size());
        return S_OK;
    });
}

HRESULT AttributeItems::GetAllocatedBlob(REFGUID key, UINT8** buffer, UINT32* size) const
{
    if (!buffer || !size) return E_POINTER;
    *buffer = nullptr;
    return ReadTyped(key, MF_ATTRIBUTE_BLOB, [&](const AttributeValue& found) {
        UINT8* copy = AllocateTaskMemory<UINT8>(found.blob.size());
        if (!copy) return E_OUTOFMEMORY;
        std::copy(found.blob.begin(), found.blob.end(), copy);
        *buffer = copy;
        *size = static_cast<UINT32>(found.blob.size());
        return S_OK;
    });
}

HRESULT AttributeItems::GetUnknown(REFGUID key, REFIID iid, void** object) const
{
    if (!object) return E_POINTER;
    *object = nullptr;
    ComPtr<IUnknown> stored;
    const HRESULT hr = ReadTyped(key, MF_ATTRIBUTE_IUNKNOWN, [&](const AttributeValue& found) {
        stored = found.object;
        return S_OK;
    });
    // Outside the lock: the stored object's QueryInterface is foreign code.
    return FAILED(hr) ? hr : stored->QueryInterface(iid, object);
}

HRESULT AttributeItems::GetCount(UINT32* count) const
{
    if (!count) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    *count = static_cast<UINT32>(items_.size());
    return S_OK;
}

HRESULT AttributeItems::GetItemByIndex(UINT32 index, GUID* key, PROPVARIANT* value) const
{
    if (!key) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (index >= items_.size()) return E_INVALIDARG;
    const AttributeItem& item = items_[index];
    if (value) {
        const HRESULT hr = ToPropVariant(item.second, value);
        if (FAILED(hr)) return hr;
    }
    *key = item.first;
    return S_OK;
}

HRESULT AttributeItems::CopyAllItems(IMFAttributes* destination) const
{
    if (!destination) return E_POINTER;
    std::vector<AttributeItem> items;
    const HRESULT hr = Snapshot(&items);
    if (FAILED(hr)) return hr;
    if (ComPtr<IVirtualAttributes> store = AsVirtualAttributes(destination)) {
        store->Items().Replace(std::move(items));
        return S_OK;
    }
    return CopyIntoForeign(items, destination);
}

// ---- Writes ---------------------------------------------------------------------------------------

HRESULT AttributeItems::Store(REFGUID key, AttributeValue value)
{
    return NoThrow([&]() -> HRESULT {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        for (AttributeItem& item : items_) {
            if (item.first == key) {
                item.second = std::move(value);
                return S_OK;
            }
        }
        items_.emplace_back(key, std::move(value));
        return S_OK;
    });
}

HRESULT AttributeItems::SetItem(REFGUID key, REFPROPVARIANT value)
{
    AttributeValue converted;
    const HRESULT hr = FromPropVariant(value, &converted);
    return FAILED(hr) ? hr : Store(key, std::move(converted));
}

HRESULT AttributeItems::DeleteItem(REFGUID key)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto hasKey = [&](const AttributeItem& item) { return item.first == key; };
    items_.erase(std::remove_if(items_.begin(), items_.end(), hasKey), items_.end());
    return S_OK;
}

HRESULT AttributeItems::DeleteAllItems()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    items_.clear();
    return S_OK;
}

HRESULT AttributeItems::SetUINT32(REFGUID key, UINT32 value)
{
    return Store(key, NumberValue(MF_ATTRIBUTE_UINT32, value));
}

HRESULT AttributeItems::SetUINT64(REFGUID key, UINT64 value)
{
    return Store(key, NumberValue(MF_ATTRIBUTE_UINT64, value));
}

HRESULT AttributeItems::SetDouble(REFGUID key, double value)
{
    AttributeValue stored;
    stored.type = MF_ATTRIBUTE_DOUBLE;
    stored.real = value;
    return Store(key, std::move(stored));
}

HRESULT AttributeItems::SetGUID(REFGUID key, REFGUID value)
{
    AttributeValue stored;
    stored.type = MF_ATTRIBUTE_GUID;
    stored.guid = value;
    return Store(key, std::move(stored));
}

HRESULT AttributeItems::SetString(REFGUID key, LPCWSTR value)
{
    if (!value) return E_POINTER;
    return NoThrow([&]() -> HRESULT {
        AttributeValue stored;
        stored.type = MF_ATTRIBUTE_STRING;
        stored.text = value;
        return Store(key, std::move(stored));
    });
}

HRESULT AttributeItems::SetBlob(REFGUID key, const UINT8* buffer, UINT32 size)
{
    if (!buffer && size != 0) return E_POINTER;
    return NoThrow([&]() -> HRESULT {
        AttributeValue stored;
        stored.type = MF_ATTRIBUTE_BLOB;
        stored.blob.assign(buffer, buffer + size);
        return Store(key, std::move(stored));
    });
}

HRESULT AttributeItems::SetUnknown(REFGUID key, IUnknown* object)
{
    if (!object) return E_POINTER;
    AttributeValue stored;
    stored.type = MF_ATTRIBUTE_IUNKNOWN;
    stored.object = ComPtr<IUnknown>::Share(object);
    return Store(key, std::move(stored));
}

// ---- Explicit locking -----------------------------------------------------------------------------

HRESULT AttributeItems::LockStore()
{
    mutex_.lock();
    lockOwner_ = std::this_thread::get_id();
    ++lockDepth_;
    return S_OK;
}

HRESULT AttributeItems::UnlockStore()
{
    // Only the thread holding the lock reads or writes lockDepth_.
    if (lockOwner_.load() != std::this_thread::get_id()) return E_UNEXPECTED;
    if (--lockDepth_ == 0) lockOwner_ = std::thread::id();
    mutex_.unlock();
    return S_OK;
}

}  // namespace lumicap::virt
