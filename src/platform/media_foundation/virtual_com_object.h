// What every COM object of the virtual platform shares: its reference count, QueryInterface through
// the object's own QISearch table, and the LiveObject that lets LiveObjectCount() see leaks.
#pragma once
#include "../platform.h"
#include "platform/control/live_object.h"

#include <atomic>

namespace lumicap::virt {

// The count and QueryInterface alone, for objects that are not the platform's and so stay out of
// LiveObjectCount() (the tests' stand-ins for the host's callbacks and streams).
//
// Derived implements Interface (and any Others it also derives from) and gives the table of what it
// answers as `static const QITAB* Interfaces()` (QITABENT rows, the first also answering IUnknown).
// Objects are made with a count of one and delete themselves on their last Release.
template <typename Derived, typename Interface, typename... Others>
class CountedComObject : public Interface, public Others... {
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

    // The references held now, for tests that check what was given back.
    ULONG References() const { return refs_.load(std::memory_order_acquire); }

protected:
    CountedComObject() = default;
    CountedComObject(const CountedComObject&) = delete;
    CountedComObject& operator=(const CountedComObject&) = delete;
    virtual ~CountedComObject() = default;

private:
    std::atomic<ULONG> refs_{1};
};

// A platform object: counted, and seen by LiveObjectCount() while it lives.
template <typename Derived, typename Interface, typename... Others>
class VirtualComObject : public CountedComObject<Derived, Interface, Others...> {
protected:
    VirtualComObject() = default;
    ~VirtualComObject() override = default;

private:
    LiveObject live_;
};

}  // namespace lumicap::virt
