// Media types: MFCreateMediaType, the device types a camera offers, and the platform's own copies.
#include "media_type.h"

#include "attribute_store.h"

#include <algorithm>
#include <new>

namespace lumicap::virt {
namespace {

// {B6BC765F-4C3B-40A4-BD51-2535B66FE09D}: MF_MT_USER_DATA, which IsEqual judges on its own.
constexpr GUID kUserData = {0xb6bc765f, 0x4c3b, 0x40a4, {0xbd, 0x51, 0x25, 0x35, 0xb6, 0x6f, 0xe0, 0x9d}};

// The MF_MEDIATYPE_EQUAL_* flags.
constexpr DWORD kEqualMajorTypes = 0x1;
constexpr DWORD kEqualFormatTypes = 0x2;
constexpr DWORD kEqualFormatData = 0x4;
constexpr DWORD kEqualFormatUserData = 0x8;
constexpr DWORD kEqualAll = kEqualMajorTypes | kEqualFormatTypes | kEqualFormatData | kEqualFormatUserData;

constexpr UINT32 kProgressive = 2;  // MFVideoInterlace_Progressive

UINT64 PackHalves(UINT32 high, UINT32 low) { return (static_cast<UINT64>(high) << 32) | low; }

// Both lists lack the key, or both hold the same value under it.
bool SameOrBothAbsent(const std::vector<AttributeItem>& a, const std::vector<AttributeItem>& b, REFGUID key)
{
    const AttributeValue* x = FindItem(a, key);
    const AttributeValue* y = FindItem(b, key);
    return x && y ? *x == *y : x == y;
}

std::vector<AttributeItem> WithoutUserData(std::vector<AttributeItem> items)
{
    const auto isUserData = [](const AttributeItem& item) { return item.first == kUserData; };
    items.erase(std::remove_if(items.begin(), items.end(), isUserData), items.end());
    return items;
}

DWORD EqualityFlags(const std::vector<AttributeItem>& a, const std::vector<AttributeItem>& b)
{
    DWORD flags = 0;
    const AttributeValue* majorA = FindItem(a, MF_MT_MAJOR_TYPE);
    const AttributeValue* majorB = FindItem(b, MF_MT_MAJOR_TYPE);
    if (majorA && majorB && *majorA == *majorB) flags |= kEqualMajorTypes;
    if (SameOrBothAbsent(a, b, MF_MT_SUBTYPE)) flags |= kEqualFormatTypes;
    const std::vector<AttributeItem> dataA = WithoutUserData(a);
    const std::vector<AttributeItem> dataB = WithoutUserData(b);
    if (IsSubset(dataA, dataB) || IsSubset(dataB, dataA)) flags |= kEqualFormatData;
    if (SameOrBothAbsent(a, b, kUserData)) flags |= kEqualFormatUserData;
    return flags;
}

class MediaType final : public AttributeStore<MediaType, IMFMediaType> {
public:
    HRESULT STDMETHODCALLTYPE GetMajorType(GUID* majorType) override
    {
        return Checked("GetMajorType", [&] { return items_.GetGUID(MF_MT_MAJOR_TYPE, majorType); });
    }

    HRESULT STDMETHODCALLTYPE IsCompressedFormat(BOOL* compressed) override
    {
        return Checked("IsCompressedFormat", [&] {
            if (!compressed) return E_POINTER;
            GUID subtype = GUID_NULL;
            *compressed = SUCCEEDED(items_.GetGUID(MF_MT_SUBTYPE, &subtype)) && subtype == MFVideoFormat_MJPG;
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE IsEqual(IMFMediaType* other, DWORD* flags) override
    {
        return Checked("IsEqual", [&] { return CompareWith(other, flags); });
    }

    HRESULT STDMETHODCALLTYPE GetRepresentation(GUID, LPVOID*) override
    {
        return Checked("GetRepresentation", [] { return E_NOTIMPL; });
    }

    HRESULT STDMETHODCALLTYPE FreeRepresentation(GUID, LPVOID) override
    {
        return Checked("FreeRepresentation", [] { return E_NOTIMPL; });
    }

private:
    HRESULT CompareWith(IMFMediaType* other, DWORD* flags)
    {
        if (!other || !flags) return E_POINTER;
        *flags = 0;
        std::vector<AttributeItem> mine;
        std::vector<AttributeItem> theirs;
        HRESULT hr = items_.Snapshot(&mine);
        if (SUCCEEDED(hr)) hr = SnapshotAttributes(other, &theirs);
        if (FAILED(hr)) return hr;
        *flags = EqualityFlags(mine, theirs);
        return *flags == kEqualAll ? S_OK : S_FALSE;
    }
};

HRESULT NewMediaType(ComPtr<MediaType>* mediaType)
{
    *mediaType = ComPtr<MediaType>::Attach(new (std::nothrow) MediaType());
    return *mediaType ? S_OK : E_OUTOFMEMORY;
}

HRESULT FillFormat(AttributeItems& items, const Format& format)
{
    HRESULT hr = items.SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
    if (SUCCEEDED(hr) && format.hasSubtype) hr = items.SetGUID(MF_MT_SUBTYPE, format.subtype);
    if (SUCCEEDED(hr) && format.hasFrameSize) {
        hr = items.SetUINT64(MF_MT_FRAME_SIZE, PackHalves(format.width, format.height));
    }
    if (SUCCEEDED(hr) && format.hasFrameRate) {
        hr = items.SetUINT64(MF_MT_FRAME_RATE, PackHalves(format.rateNumerator, format.rateDenominator));
    }
    if (SUCCEEDED(hr) && format.hasRateRange) {
        hr = items.SetUINT64(MF_MT_FRAME_RATE_RANGE_MIN, PackHalves(format.minRateNumerator, format.minRateDenominator));
        if (SUCCEEDED(hr)) {
            hr = items.SetUINT64(MF_MT_FRAME_RATE_RANGE_MAX, PackHalves(format.rateNumerator, format.rateDenominator));
        }
    }
    if (SUCCEEDED(hr) && format.hasPixelAspectRatio) hr = items.SetUINT64(MF_MT_PIXEL_ASPECT_RATIO, PackHalves(1, 1));
    if (SUCCEEDED(hr) && format.hasInterlaceMode) hr = items.SetUINT32(MF_MT_INTERLACE_MODE, kProgressive);
    if (SUCCEEDED(hr)) hr = items.SetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, 1);
    return hr;
}

}  // namespace

HRESULT CreateFormatMediaType(const Format& format, IMFMediaType** mediaType)
{
    if (!mediaType) return E_POINTER;
    *mediaType = nullptr;
    ComPtr<MediaType> created;
    HRESULT hr = NewMediaType(&created);
    if (SUCCEEDED(hr)) hr = FillFormat(created->Items(), format);
    if (SUCCEEDED(hr)) *mediaType = created.Detach();
    return hr;
}

HRESULT CloneMediaTypeQuietly(IMFMediaType* source, IMFMediaType** copy)
{
    if (!source || !copy) return E_POINTER;
    *copy = nullptr;
    std::vector<AttributeItem> items;
    ComPtr<MediaType> created;
    HRESULT hr = SnapshotAttributes(source, &items);
    if (SUCCEEDED(hr)) hr = NewMediaType(&created);
    if (FAILED(hr)) return hr;
    created->Items().Replace(std::move(items));
    *copy = created.Detach();
    return S_OK;
}

}  // namespace lumicap::virt

namespace lumicap::platform {

HRESULT MFCreateMediaType(IMFMediaType** mediaType)
{
    if (mediaType) *mediaType = nullptr;
    const HRESULT hr = virt::CheckFault(virt::operation::kMFCreateMediaType);
    if (FAILED(hr)) return hr;
    if (!mediaType) return E_POINTER;
    *mediaType = new (std::nothrow) virt::MediaType();
    return *mediaType ? S_OK : E_OUTOFMEMORY;
}

}  // namespace lumicap::platform
