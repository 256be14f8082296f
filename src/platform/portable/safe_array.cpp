// SAFEARRAY: a descriptor followed by its bounds, with the element type in the four bytes before the
// descriptor (FADF_HAVEVARTYPE) and the elements in a block of their own, as on Windows.
#include <lumicap/portable/win32.h>

#include <cstring>
#include <limits>

namespace {

// Room reserved before the descriptor; Windows keeps the same space for an IID or record info, and
// the VARTYPE occupies its last four bytes.
constexpr size_t kPrefixBytes = 16;
constexpr size_t kVartypeOffset = kPrefixBytes - sizeof(DWORD);
// Windows refuses to lock an array more often than this.
constexpr ULONG kMaxLocks = 0xFFFF;

ULONG ElementSize(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
        return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
        return 8;
    case VT_BSTR:
        return sizeof(BSTR);
    case VT_UNKNOWN:
        return sizeof(IUnknown*);
    default:
        return 0;
    }
}

USHORT FeaturesFor(VARTYPE vt)
{
    if (vt == VT_BSTR) return FADF_HAVEVARTYPE | FADF_BSTR;
    if (vt == VT_UNKNOWN) return FADF_HAVEVARTYPE | FADF_UNKNOWN;
    return FADF_HAVEVARTYPE;
}

unsigned char* BlockOf(SAFEARRAY* psa) { return reinterpret_cast<unsigned char*>(psa) - kPrefixBytes; }

// Element count of all dimensions together, or false when it does not fit in memory.
bool CountElements(UINT cDims, const SAFEARRAYBOUND* bounds, ULONG cbElements, size_t* count)
{
    size_t total = 1;
    for (UINT i = 0; i < cDims; ++i) {
        const size_t n = bounds[i].cElements;
        if (n != 0 && total > std::numeric_limits<size_t>::max() / n) return false;
        total *= n;
    }
    if (total > std::numeric_limits<size_t>::max() / cbElements) return false;
    *count = total;
    return true;
}

size_t ElementCount(const SAFEARRAY* psa)
{
    size_t total = 1;
    for (USHORT i = 0; i < psa->cDims; ++i) total *= psa->rgsabound[i].cElements;
    return total;
}

void ReleaseElements(SAFEARRAY* psa)
{
    const size_t count = ElementCount(psa);
    if (psa->fFeatures & FADF_BSTR) {
        auto* strings = static_cast<BSTR*>(psa->pvData);
        for (size_t i = 0; i < count; ++i) SysFreeString(strings[i]);
    } else if (psa->fFeatures & FADF_UNKNOWN) {
        auto* objects = static_cast<IUnknown**>(psa->pvData);
        for (size_t i = 0; i < count; ++i) {
            if (objects[i]) objects[i]->Release();
        }
    }
}

// Bounds are stored last dimension first, so dimension nDim (1-based) sits at cDims - nDim.
const SAFEARRAYBOUND* BoundOf(SAFEARRAY* psa, UINT nDim)
{
    if (nDim == 0 || nDim > psa->cDims) return nullptr;
    return &psa->rgsabound[psa->cDims - nDim];
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound)
{
    const ULONG cbElements = ElementSize(vt);
    size_t count = 0;
    if (cbElements == 0 || cDims == 0 || cDims > 0xFFFF || !rgsabound) return nullptr;
    if (!CountElements(cDims, rgsabound, cbElements, &count)) return nullptr;

    const size_t descriptorBytes = sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
    auto* block = static_cast<unsigned char*>(CoTaskMemAlloc(kPrefixBytes + descriptorBytes));
    if (!block) return nullptr;
    void* data = CoTaskMemAlloc(count * cbElements);
    if (!data) {
        CoTaskMemFree(block);
        return nullptr;
    }
    std::memset(block, 0, kPrefixBytes + descriptorBytes);
    std::memset(data, 0, count * cbElements);

    const DWORD storedVt = vt;
    std::memcpy(block + kVartypeOffset, &storedVt, sizeof(storedVt));
    auto* psa = reinterpret_cast<SAFEARRAY*>(block + kPrefixBytes);
    psa->cDims = static_cast<USHORT>(cDims);
    psa->fFeatures = FeaturesFor(vt);
    psa->cbElements = cbElements;
    psa->pvData = data;
    for (UINT i = 0; i < cDims; ++i) psa->rgsabound[cDims - 1 - i] = rgsabound[i];
    return psa;
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa)
{
    if (!psa) return S_OK;
    if (__atomic_load_n(&psa->cLocks, __ATOMIC_ACQUIRE) != 0) return DISP_E_ARRAYISLOCKED;
    ReleaseElements(psa);
    CoTaskMemFree(psa->pvData);
    CoTaskMemFree(BlockOf(psa));
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData)
{
    if (!psa || !ppvData) return E_INVALIDARG;
    // Locks may be taken from several threads at once, as Windows allows.
    if (__atomic_add_fetch(&psa->cLocks, 1, __ATOMIC_ACQ_REL) > kMaxLocks) {
        __atomic_sub_fetch(&psa->cLocks, 1, __ATOMIC_ACQ_REL);
        *ppvData = nullptr;
        return E_UNEXPECTED;
    }
    *ppvData = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa)
{
    if (!psa) return E_INVALIDARG;
    ULONG locks = __atomic_load_n(&psa->cLocks, __ATOMIC_ACQUIRE);
    do {
        if (locks == 0) return E_UNEXPECTED;
    } while (!__atomic_compare_exchange_n(&psa->cLocks, &locks, locks - 1, true, __ATOMIC_ACQ_REL,
                                          __ATOMIC_ACQUIRE));
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound)
{
    if (!psa || !plLbound) return E_INVALIDARG;
    const SAFEARRAYBOUND* bound = BoundOf(psa, nDim);
    if (!bound) return DISP_E_BADINDEX;
    *plLbound = bound->lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound)
{
    if (!psa || !plUbound) return E_INVALIDARG;
    const SAFEARRAYBOUND* bound = BoundOf(psa, nDim);
    if (!bound) return DISP_E_BADINDEX;
    // Computed in 64 bits: an empty dimension's upper bound is one below its lower bound.
    *plUbound = static_cast<LONG>(static_cast<int64_t>(bound->lLbound) + bound->cElements - 1);
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt)
{
    if (!psa || !pvt) return E_INVALIDARG;
    // A descriptor built by hand may carry only its kind of element in its features.
    if (!(psa->fFeatures & FADF_HAVEVARTYPE)) {
        if (psa->fFeatures & FADF_BSTR) {
            *pvt = VT_BSTR;
        } else if (psa->fFeatures & FADF_UNKNOWN) {
            *pvt = VT_UNKNOWN;
        } else {
            return E_INVALIDARG;
        }
        return S_OK;
    }
    DWORD storedVt = 0;
    std::memcpy(&storedVt, BlockOf(psa) + kVartypeOffset, sizeof(storedVt));
    *pvt = static_cast<VARTYPE>(storedVt);
    return S_OK;
}
