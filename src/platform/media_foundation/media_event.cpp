// The events an engine hands to its IMFCaptureEngineOnEventCallback.
#include "attribute_store.h"

#include <cstring>
#include <new>

namespace lumicap::virt {
namespace {

class MediaEvent final : public AttributeStore<MediaEvent, IMFMediaEvent> {
public:
    MediaEvent(REFGUID extendedType, HRESULT status) : extendedType_(extendedType), status_(status) {}

    HRESULT STDMETHODCALLTYPE GetType(MediaEventType* type) override
    {
        return Checked("GetType", [&] {
            if (!type) return E_POINTER;
            *type = MEExtendedType;
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE GetExtendedType(GUID* extendedType) override
    {
        return Checked("GetExtendedType", [&] {
            if (!extendedType) return E_POINTER;
            *extendedType = extendedType_;
            return S_OK;
        });
    }

    GUID ExtendedType() const { return extendedType_; }

    HRESULT STDMETHODCALLTYPE GetStatus(HRESULT* status) override
    {
        return Checked("GetStatus", [&] {
            if (!status) return E_POINTER;
            *status = status_;
            return S_OK;
        });
    }

    // Engine events carry no value: an empty PROPVARIANT.
    HRESULT STDMETHODCALLTYPE GetValue(PROPVARIANT* value) override
    {
        return Checked("GetValue", [&] {
            if (!value) return E_POINTER;
            std::memset(value, 0, sizeof *value);
            return S_OK;
        });
    }

private:
    const GUID extendedType_;
    const HRESULT status_;
};

}  // namespace

HRESULT CreateEngineEvent(REFGUID extendedType, HRESULT status, IMFMediaEvent** event)
{
    if (!event) return E_POINTER;
    *event = new (std::nothrow) MediaEvent(extendedType, status);
    return *event ? S_OK : E_OUTOFMEMORY;
}

HRESULT GetExtendedTypeQuietly(IMFMediaEvent* event, GUID* extendedType)
{
    if (!event || !extendedType) return E_POINTER;
    if (const auto* own = dynamic_cast<const MediaEvent*>(event)) {
        *extendedType = own->ExtendedType();
        return S_OK;
    }
    return event->GetExtendedType(extendedType);
}

}  // namespace lumicap::virt
