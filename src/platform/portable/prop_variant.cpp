// PropVariantClear: frees what the value owns, by type, then leaves it VT_EMPTY.
#include <lumicap/portable/win32.h>

#include <cstring>

namespace {

bool HoldsNothingToFree(VARTYPE vt)
{
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_BOOL:
        return true;
    default:
        return false;
    }
}

// Frees what pvar owns; false for a type this subset does not know how to free.
bool FreeOwned(PROPVARIANT* pvar)
{
    switch (pvar->vt) {
    case VT_LPWSTR:
        CoTaskMemFree(pvar->pwszVal);
        return true;
    case VT_BSTR:
        SysFreeString(pvar->bstrVal);
        return true;
    case VT_UNKNOWN:
        if (pvar->punkVal) pvar->punkVal->Release();
        return true;
    case VT_CLSID:
        CoTaskMemFree(pvar->puuid);
        return true;
    case VT_VECTOR | VT_UI1:
        CoTaskMemFree(pvar->caub.pElems);
        return true;
    default:
        return HoldsNothingToFree(pvar->vt);
    }
}

}  // namespace

HRESULT PropVariantClear(PROPVARIANT* pvar)
{
    if (!pvar) return S_OK;
    // An unknown type is left untouched: zeroing it could leak what it owns.
    if (!FreeOwned(pvar)) return DISP_E_BADVARTYPE;
    std::memset(pvar, 0, sizeof(*pvar));
    return S_OK;
}
