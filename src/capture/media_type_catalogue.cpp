#include "media_type_catalogue.h"

#include "capture_control.h"
#include "capture_manager.h"
#include "interface/log.h"
#include "interface/module_state.h"
#include "interface/text.h"

namespace lumicap {
namespace {

UINT32 High(UINT64 value) { return static_cast<UINT32>(value >> 32); }
UINT32 Low(UINT64 value) { return static_cast<UINT32>(value); }

WString Widen(const std::string& line)
{
    WString wide;
    wide.reserve(line.size());
    // Each byte widens by sign extension, so 0x80-0xFF become 0xFF80-0xFFFF: hosts that compare the
    // lines with those the library always gave (a subtype code with high bytes) rely on it.
    for (char byte : line) {
        wide.push_back(static_cast<WCHAR>(static_cast<int16_t>(static_cast<signed char>(byte))));
    }
    return wide;
}

}  // namespace

std::string DescribeSubtype(GUID subtype)
{
    const UINT32 code = subtype.Data1;
    std::string text;
    // A code whose low byte is 20 (D3DFMT_R8G8B8, the RGB24 subtypes) shows no text: hosts match the
    // line "320 X 240  FPS 15" with its two blanks. Only 20 is treated so.
    if ((code & 0xFF) == 20) return text;
    for (int shift = 0; shift < 32; shift += 8) {
        char byte = static_cast<char>((code >> shift) & 0xFF);
        if (byte == 0) break;
        text.push_back(byte);
    }
    return text;
}

std::string DescribeFormat(UINT32 width, UINT32 height, GUID subtype, UINT32 rateNumerator,
                           UINT32 rateDenominator)
{
    // A zero denominator has no rate to show; 0 keeps the line's shape.
    UINT32 rate = rateDenominator ? rateNumerator / rateDenominator : 0;
    return std::to_string(width) + " X " + std::to_string(height) + " " + DescribeSubtype(subtype) + " FPS " +
           std::to_string(rate);
}

HRESULT CaptureManager::CollectMediaTypeDescriptions(std::vector<std::string>& descriptions)
{
    if (!engine) return MF_E_NOT_INITIALIZED;
    // While previewing the catalogue is empty, not an error: hosts read an empty list as "ask later",
    // and the index StartPreview was given must keep meaning what it meant.
    if (isPreviewing) return S_OK;

    ComPtr<IMFCaptureSource> source;
    HRESULT hr = engine->GetSource(source.Put());
    if (FAILED(hr)) return hr;

    // A type whose frame size cannot be read shows the last size that could.
    UINT32 width = 0;
    UINT32 height = 0;
    for (DWORD index = 0;; ++index) {
        ComPtr<IMFMediaType> type;
        if (FAILED(source->GetAvailableDeviceMediaType(0, index, type.Put())) || !type) return hr;

        UINT64 frameSize = 0;
        if (SUCCEEDED(type->GetUINT64(MF_MT_FRAME_SIZE, &frameSize))) {
            width = High(frameSize);
            height = Low(frameSize);
        }
        UINT64 frameRate = 0;
        hr = type->GetUINT64(MF_MT_FRAME_RATE, &frameRate);
        if (FAILED(hr)) return hr;
        GUID subtype = GUID_NULL;
        hr = type->GetGUID(MF_MT_SUBTYPE, &subtype);
        if (FAILED(hr)) return hr;
        descriptions.push_back(DescribeFormat(width, height, subtype, High(frameRate), Low(frameRate)));
    }
}

void StringsToBstrArray(const std::vector<std::string>& lines, SAFEARRAY** array)
{
    SAFEARRAYBOUND bound{static_cast<ULONG>(lines.size()), 0};
    SAFEARRAY* created = SafeArrayCreate(VT_BSTR, 1, &bound);
    *array = created;
    BSTR* elements = nullptr;
    if (!created || FAILED(SafeArrayAccessData(created, reinterpret_cast<void**>(&elements)))) return;
    for (size_t i = 0; i < lines.size(); ++i) elements[i] = SysAllocString(Widen(lines[i]).c_str());
    SafeArrayUnaccessData(created);
}

void GetMediaTypeList(SAFEARRAY** mediaTypes)
{
    std::vector<std::string> lines;
    if (CaptureManager* manager = Module().theManager.get()) manager->CollectMediaTypeDescriptions(lines);
    if (mediaTypes) StringsToBstrArray(lines, mediaTypes);
    EmitLog(TEXT("GetMediaTypeList"));
}

}  // namespace lumicap
