// QISearch: QueryInterface driven by a table of interface ids and their offsets in the object.
#include <lumicap/portable/win32.h>

namespace {

// IUnknown is answered by the first interface in the table, whatever it is.
bool Answers(const QITAB* entry, const QITAB* first, REFIID riid)
{
    return IsEqualIID(riid, *entry->piid) || (entry == first && IsEqualIID(riid, IID_IUnknown));
}

}  // namespace

HRESULT QISearch(void* that, LPCQITAB pqit, REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!that || !pqit) return E_INVALIDARG;
    for (const QITAB* entry = pqit; entry->piid; ++entry) {
        if (!Answers(entry, pqit, riid)) continue;
        auto* found = reinterpret_cast<IUnknown*>(static_cast<char*>(that) + entry->dwOffset);
        found->AddRef();
        *ppv = found;
        return S_OK;
    }
    return E_NOINTERFACE;
}
