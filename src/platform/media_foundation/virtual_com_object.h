// What every COM object of the virtual platform shares: its reference count, QueryInterface through
// the object's own QISearch table, and the LiveObject that lets LiveObjectCount() see leaks.
#pragma once
#include "../platform.h"
#include "platform/control/live_object.h"


#include <atomic>

namespace lumicap::virt {

// Derived implements Interface (and any Others it also derives from) and gives the table of what it
// answers as `static const QITAB* Interfaces()` (QITABENT rows, the first also answering IUnknown).
// Objects are made with a count of one and delete themselves on their last Release.
template <typename Derived, typename Interface, typename... Others>
class VirtualComObject : public Interface, public Others... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        return QISearch(static_cast<Derived*>(this), Derived::Interfaces(), iid, object);
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG remaining = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (remaining == 0) delete this;
        return remaining;
    }

protected:
    VirtualComObject() = default;
    VirtualComObject(const VirtualComObject&) = delete;
    VirtualComObject& operator=(const VirtualComObject&) = delete;
    virtual ~VirtualComObject() = default;

private:
    LiveObject live_;
    std::atomic<ULONG> refs_{1};
};

}  // namespace lumicap::virt
