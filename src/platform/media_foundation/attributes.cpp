// Attribute stores made by MFCreateAttributes, and the platform's own uncounted reads.
#include "attribute_store.h"

#include <new>

namespace lumicap::virt {
namespace {

class Attributes final : public AttributeStore<Attributes, IMFAttributes> {};

}  // namespace

HRESULT GetUINT64Quietly(IMFAttributes* attributes, REFGUID key, UINT64* value)
{
    if (!attributes) return E_POINTER;
    if (ComPtr<IVirtualAttributes> store = AsVirtualAttributes(attributes)) return store->Items().GetUINT64(key, value);
    return attributes->GetUINT64(key, value);
}

HRESULT GetUINT32Quietly(IMFAttributes* attributes, REFGUID key, UINT32* value)
{
    if (!attributes) return E_POINTER;
    if (ComPtr<IVirtualAttributes> store = AsVirtualAttributes(attributes)) return store->Items().GetUINT32(key, value);
    return attributes->GetUINT32(key, value);
}

HRESULT GetGUIDQuietly(IMFAttributes* attributes, REFGUID key, GUID* value)
{
    if (!attributes) return E_POINTER;
    if (ComPtr<IVirtualAttributes> store = AsVirtualAttributes(attributes)) return store->Items().GetGUID(key, value);
    return attributes->GetGUID(key, value);
}

}  // namespace lumicap::virt

namespace lumicap::platform {

// The initial size is only a capacity hint, so it is not needed here.
HRESULT MFCreateAttributes(IMFAttributes** attributes, UINT32 /*initialSize*/)
{
    if (attributes) *attributes = nullptr;
    const HRESULT hr = virt::CheckFault(virt::operation::kMFCreateAttributes);
    if (FAILED(hr)) return hr;
    if (!attributes) return E_POINTER;
    *attributes = new (std::nothrow) virt::Attributes();
    return *attributes ? S_OK : E_OUTOFMEMORY;
}

}  // namespace lumicap::platform
