// StringFromCLSID: the braced, upper-case registry form of a GUID, in task memory.
#include <lumicap/portable/win32.h>

namespace {

constexpr size_t kGuidChars = 38;

// Writes value as digits hexadecimal digits, most significant first; returns the next position.
OLECHAR* PutHex(OLECHAR* out, uint32_t value, int digits)
{
    static const char kDigits[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) *out++ = kDigits[(value >> shift) & 0xF];
    return out;
}

}  // namespace

HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz)
{
    if (!lplpsz) return E_INVALIDARG;
    auto* text = static_cast<OLECHAR*>(CoTaskMemAlloc((kGuidChars + 1) * sizeof(OLECHAR)));
    *lplpsz = text;
    if (!text) return E_OUTOFMEMORY;

    OLECHAR* out = text;
    *out++ = u'{';
    out = PutHex(out, rclsid.Data1, 8);
    *out++ = u'-';
    out = PutHex(out, rclsid.Data2, 4);
    *out++ = u'-';
    out = PutHex(out, rclsid.Data3, 4);
    *out++ = u'-';
    for (int i = 0; i < 8; ++i) {
        if (i == 2) *out++ = u'-';
        out = PutHex(out, rclsid.Data4[i], 2);
    }
    *out++ = u'}';
    *out = 0;
    return S_OK;
}
