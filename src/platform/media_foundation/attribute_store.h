// The IMFAttributes implementation that every virtual attribute-bearing object shares: attribute
// stores, media types, activation objects and media events. Each public method is a platform
// operation named "<Interface>::<Method>" after the interface the object was created as.
#pragma once

#include "attribute_items.h"
#include "platform/control/faults.h"
#include "virtual_com_object.h"

#include <cstdio>

namespace lumicap::virt {

// {4C7A9E2B-3D51-4F86-9B0E-6A2D8C1F5E73}: reaches the items of a virtual store without counting.
inline constexpr GUID IID_IVirtualAttributes = {
    0x4c7a9e2b, 0x3d51, 0x4f86, {0x9b, 0x0e, 0x6a, 0x2d, 0x8c, 0x1f, 0x5e, 0x73}};

struct IVirtualAttributes : IUnknown {
    virtual AttributeItems& Items() = 0;
};

// The virtual store behind an object, or null when the object is not one of ours.
ComPtr<IVirtualAttributes> AsVirtualAttributes(IUnknown* object);

// The IMFAttributes methods, in vtable order, as they appear in operation names.
inline constexpr const char* kAttributeMethods[] = {
    "GetItem",    "GetItemType",      "CompareItem",     "Compare",   "GetUINT32",          "GetUINT64",
    "GetDouble",  "GetGUID",          "GetStringLength", "GetString", "GetAllocatedString", "GetBlobSize",
    "GetBlob",    "GetAllocatedBlob", "GetUnknown",      "SetItem",   "DeleteItem",         "DeleteAllItems",
    "SetUINT32",  "SetUINT64",        "SetDouble",       "SetGUID",   "SetString",          "SetBlob",
    "SetUnknown", "LockStore",        "UnlockStore",     "GetCount",  "GetItemByIndex",     "CopyAllItems",
};

template <typename Interface>
struct InterfaceTraits;
template <>
struct InterfaceTraits<IMFAttributes> {
    static constexpr const char* kName = "IMFAttributes";
    static const IID& Iid() { return IID_IMFAttributes; }
};
template <>
struct InterfaceTraits<IMFMediaType> {
    static constexpr const char* kName = "IMFMediaType";
    static const IID& Iid() { return IID_IMFMediaType; }
};
template <>
struct InterfaceTraits<IMFActivate> {
    static constexpr const char* kName = "IMFActivate";
    static const IID& Iid() { return IID_IMFActivate; }
};
template <>
struct InterfaceTraits<IMFMediaEvent> {
    static constexpr const char* kName = "IMFMediaEvent";
    static const IID& Iid() { return IID_IMFMediaEvent; }
};
template <>
struct InterfaceTraits<IMFSample> {
    static constexpr const char* kName = "IMFSample";
    static const IID& Iid() { return IID_IMFSample; }
};

// Counts "<Interface>::<method>" and answers its injected fault.
template <typename Interface>
HRESULT CheckMethodFault(const char* method)
{
    char name[96];
    std::snprintf(name, sizeof name, "%s::%s", InterfaceTraits<Interface>::kName, method);
    return CheckFault(name);
}

// A reference-counted COM object exposing Interface (an IMFAttributes) over AttributeItems. Derived
// may hide Interfaces() with a table of its own to answer more.
template <typename Derived, typename Interface>
class AttributeStore : public VirtualComObject<Derived, Interface, IVirtualAttributes> {
public:
    static const QITAB* Interfaces()
    {
        static const QITAB table[] = {
            {&InterfaceTraits<Interface>::Iid(), OFFSETOFCLASS(Interface, Derived)},
            {&IID_IMFAttributes, OFFSETOFCLASS(IMFAttributes, Derived)},
            {&IID_IVirtualAttributes, OFFSETOFCLASS(IVirtualAttributes, Derived)},
            {nullptr, 0},
        };
        return table;
    }

    // IVirtualAttributes
    AttributeItems& Items() override { return items_; }

    // IMFAttributes
    HRESULT STDMETHODCALLTYPE GetItem(REFGUID key, PROPVARIANT* value) override
    {
        return Checked("GetItem", [&] { return items_.GetItem(key, value); });
    }
    HRESULT STDMETHODCALLTYPE GetItemType(REFGUID key, MF_ATTRIBUTE_TYPE* type) override
    {
        return Checked("GetItemType", [&] { return items_.GetItemType(key, type); });
    }
    HRESULT STDMETHODCALLTYPE CompareItem(REFGUID key, REFPROPVARIANT value, BOOL* result) override
    {
        return Checked("CompareItem", [&] { return items_.CompareItem(key, value, result); });
    }
    HRESULT STDMETHODCALLTYPE Compare(IMFAttributes* theirs, MF_ATTRIBUTES_MATCH_TYPE matchType,
                                      BOOL* result) override
    {
        return Checked("Compare", [&] { return items_.Compare(theirs, matchType, result); });
    }
    HRESULT STDMETHODCALLTYPE GetUINT32(REFGUID key, UINT32* value) override
    {
        return Checked("GetUINT32", [&] { return items_.GetUINT32(key, value); });
    }
    HRESULT STDMETHODCALLTYPE GetUINT64(REFGUID key, UINT64* value) override
    {
        return Checked("GetUINT64", [&] { return items_.GetUINT64(key, value); });
    }
    HRESULT STDMETHODCALLTYPE GetDouble(REFGUID key, double* value) override
    {
        return Checked("GetDouble", [&] { return items_.GetDouble(key, value); });
    }
    HRESULT STDMETHODCALLTYPE GetGUID(REFGUID key, GUID* value) override
    {
        return Checked("GetGUID", [&] { return items_.GetGUID(key, value); });
    }
    HRESULT STDMETHODCALLTYPE GetStringLength(REFGUID key, UINT32* length) override
    {
        return Checked("GetStringLength", [&] { return items_.GetStringLength(key, length); });
    }
    HRESULT STDMETHODCALLTYPE GetString(REFGUID key, LPWSTR buffer, UINT32 bufferSize, UINT32* length) override
    {
        return Checked("GetString", [&] { return items_.GetString(key, buffer, bufferSize, length); });
    }
    HRESULT STDMETHODCALLTYPE GetAllocatedString(REFGUID key, LPWSTR* value, UINT32* length) override
    {
        return Checked("GetAllocatedString", [&] { return items_.GetAllocatedString(key, value, length); });
    }
    HRESULT STDMETHODCALLTYPE GetBlobSize(REFGUID key, UINT32* size) override
    {
        return Checked("GetBlobSize", [&] { return items_.GetBlobSize(key, size); });
    }
    HRESULT STDMETHODCALLTYPE GetBlob(REFGUID key, UINT8* buffer, UINT32 bufferSize, UINT32* size) override
    {
        return Checked("GetBlob", [&] { return items_.GetBlob(key, buffer, bufferSize, size); });
    }
    HRESULT STDMETHODCALLTYPE GetAllocatedBlob(REFGUID key, UINT8** buffer, UINT32* size) override
    {
        return Checked("GetAllocatedBlob", [&] { return items_.GetAllocatedBlob(key, buffer, size); });
    }
    HRESULT STDMETHODCALLTYPE GetUnknown(REFGUID key, REFIID iid, LPVOID* object) override
    {
        return Checked("GetUnknown", [&] { return items_.GetUnknown(key, iid, object); });
    }
    HRESULT STDMETHODCALLTYPE SetItem(REFGUID key, REFPROPVARIANT value) override
    {
        return Checked("SetItem", [&] { return items_.SetItem(key, value); });
    }
    HRESULT STDMETHODCALLTYPE DeleteItem(REFGUID key) override
    {
        return Checked("DeleteItem", [&] { return items_.DeleteItem(key); });
    }
    HRESULT STDMETHODCALLTYPE DeleteAllItems() override
    {
        return Checked("DeleteAllItems", [&] { return items_.DeleteAllItems(); });
    }
    HRESULT STDMETHODCALLTYPE SetUINT32(REFGUID key, UINT32 value) override
    {
        return Checked("SetUINT32", [&] { return items_.SetUINT32(key, value); });
    }
    HRESULT STDMETHODCALLTYPE SetUINT64(REFGUID key, UINT64 value) override
    {
        return Checked("SetUINT64", [&] { return items_.SetUINT64(key, value); });
    }
    HRESULT STDMETHODCALLTYPE SetDouble(REFGUID key, double value) override
    {
        return Checked("SetDouble", [&] { return items_.SetDouble(key, value); });
    }
    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID key, REFGUID value) override
    {
        return Checked("SetGUID", [&] { return items_.SetGUID(key, value); });
    }
    HRESULT STDMETHODCALLTYPE SetString(REFGUID key, LPCWSTR value) override
    {
        return Checked("SetString", [&] { return items_.SetString(key, value); });
    }
    HRESULT STDMETHODCALLTYPE SetBlob(REFGUID key, const UINT8* buffer, UINT32 size) override
    {
        return Checked("SetBlob", [&] { return items_.SetBlob(key, buffer, size); });
    }
    HRESULT STDMETHODCALLTYPE SetUnknown(REFGUID key, IUnknown* object) override
    {
        return Checked("SetUnknown", [&] { return items_.SetUnknown(key, object); });
    }
    HRESULT STDMETHODCALLTYPE LockStore() override
    {
        return Checked("LockStore", [&] { return items_.LockStore(); });
    }
    HRESULT STDMETHODCALLTYPE UnlockStore() override
    {
        return Checked("UnlockStore", [&] { return items_.UnlockStore(); });
    }
    HRESULT STDMETHODCALLTYPE GetCount(UINT32* count) override
    {
        return Checked("GetCount", [&] { return items_.GetCount(count); });
    }
    HRESULT STDMETHODCALLTYPE GetItemByIndex(UINT32 index, GUID* key, PROPVARIANT* value) override
    {
        return Checked("GetItemByIndex", [&] { return items_.GetItemByIndex(index, key, value); });
    }
    HRESULT STDMETHODCALLTYPE CopyAllItems(IMFAttributes* destination) override
    {
        return Checked("CopyAllItems", [&] { return items_.CopyAllItems(destination); });
    }

protected:
    // Counts the operation; runs the method only when no fault is injected.
    template <typename Method>
    static HRESULT Checked(const char* method, Method run)
    {
        const HRESULT hr = CheckMethodFault<Interface>(method);
        return FAILED(hr) ? hr : run();
    }

    AttributeItems items_;
};

}  // namespace lumicap::virt
