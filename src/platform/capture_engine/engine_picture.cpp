#include "engine_picture.h"

#include "engine_objects.h"
#include "platform/media_foundation/media_type.h"

namespace lumicap::virt {
namespace {

// Larger pictures than any camera offers are refused rather than allocated.
constexpr UINT64 kMaxPixels = 64ull * 1024 * 1024;

bool ReadPair(IMFMediaType* mediaType, REFGUID key, UINT32* high, UINT32* low)
{
    UINT64 packed = 0;
    if (!mediaType || FAILED(GetUINT64Quietly(mediaType, key, &packed))) return false;
    *high = static_cast<UINT32>(packed >> 32);
    *low = static_cast<UINT32>(packed);
    return *high != 0 && *low != 0;
}

}  // namespace

HRESULT ResolvePictureFormat(IMFMediaType* streamType, IMFMediaType* deviceType, FrameFormat* format)
{
    FrameFormat resolved;
    if (!ReadPair(streamType, MF_MT_FRAME_SIZE, &resolved.width, &resolved.height) &&
        !ReadPair(deviceType, MF_MT_FRAME_SIZE, &resolved.width, &resolved.height)) {
        return MF_E_INVALIDMEDIATYPE;
    }
    if (static_cast<UINT64>(resolved.width) * resolved.height > kMaxPixels) return MF_E_INVALIDMEDIATYPE;
    if (!ReadPair(streamType, MF_MT_FRAME_RATE, &resolved.rateNumerator, &resolved.rateDenominator) &&
        !ReadPair(deviceType, MF_MT_FRAME_RATE, &resolved.rateNumerator, &resolved.rateDenominator)) {
        resolved.rateNumerator = 30;
        resolved.rateDenominator = 1;
    }
    *format = resolved;
    return S_OK;
}

}  // namespace lumicap::virt
