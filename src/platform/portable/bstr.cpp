// BSTR: a UTF-16 string whose byte count sits in the four bytes just before its first character,
// followed by a terminating NUL that the count leaves out.
#include <lumicap/portable/win32.h>

#include <cstdint>
#include <cstring>

namespace {

constexpr size_t kPrefixBytes = sizeof(uint32_t);

unsigned char* PrefixOf(BSTR text) { return reinterpret_cast<unsigned char*>(text) - kPrefixBytes; }

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui)
{
    // The byte count must fit its 32-bit prefix.
    if (ui > (UINT32_MAX - kPrefixBytes - sizeof(OLECHAR)) / sizeof(OLECHAR)) return nullptr;
    const uint32_t byteCount = ui * static_cast<uint32_t>(sizeof(OLECHAR));
    auto* block = static_cast<unsigned char*>(CoTaskMemAlloc(kPrefixBytes + byteCount + sizeof(OLECHAR)));
    if (!block) return nullptr;
    std::memcpy(block, &byteCount, kPrefixBytes);
    auto* text = reinterpret_cast<OLECHAR*>(block + kPrefixBytes);
    if (strIn) {
        std::memcpy(text, strIn, byteCount);
    } else {
        std::memset(text, 0, byteCount);
    }
    text[ui] = 0;
    return text;
}

BSTR SysAllocString(const OLECHAR* psz)
{
    if (!psz) return nullptr;
    size_t length = 0;
    while (psz[length] != 0) ++length;
    if (length > UINT32_MAX) return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(length));
}

UINT SysStringLen(BSTR pbstr)
{
    if (!pbstr) return 0;
    uint32_t byteCount = 0;
    std::memcpy(&byteCount, PrefixOf(pbstr), kPrefixBytes);
    return byteCount / sizeof(OLECHAR);
}

void SysFreeString(BSTR bstrString)
{
    if (bstrString) CoTaskMemFree(PrefixOf(bstrString));
}
