#include "platform/v4l2/jpeg_huffman.h"

#include "platform/no_throw.h"

#include <array>

namespace lumicap::v4l2 {
namespace {

constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kSoi = 0xD8;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kDht = 0xC4;
constexpr uint8_t kTem = 0x01;
constexpr uint8_t kRst0 = 0xD0;
constexpr uint8_t kRst7 = 0xD7;

// The JPEG standard's example tables (Annex K.3): code counts per length 1..16, then the symbols.
constexpr std::array<uint8_t, 16> kDcLuminanceBits = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<uint8_t, 12> kDcLuminanceValues = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr std::array<uint8_t, 16> kDcChrominanceBits = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr std::array<uint8_t, 12> kDcChrominanceValues = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

constexpr std::array<uint8_t, 16> kAcLuminanceBits = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D};
constexpr std::array<uint8_t, 162> kAcLuminanceValues = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xA1, 0x08, 0x23, 0x42, 0xB1, 0xC1, 0x15, 0x52, 0xD1, 0xF0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0A, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0xA2, 0xA3,
    0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3,
    0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xE1, 0xE2,
    0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA};

constexpr std::array<uint8_t, 16> kAcChrominanceBits = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
constexpr std::array<uint8_t, 162> kAcChrominanceValues = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22,
    0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xA1, 0xB1, 0xC1, 0x09, 0x23, 0x33, 0x52, 0xF0, 0x15, 0x62, 0x72, 0xD1,
    0x0A, 0x16, 0x24, 0x34, 0xE1, 0x25, 0xF1, 0x17, 0x18, 0x19, 0x1A, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x35, 0x36,
    0x37, 0x38, 0x39, 0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58,
    0x59, 0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A,
    0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA,
    0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA,
    0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA};

template <size_t N>
constexpr size_t CodeCount(const std::array<uint8_t, N>& bits)
{
    size_t count = 0;
    for (uint8_t b : bits) count += b;
    return count;
}
static_assert(CodeCount(kDcLuminanceBits) == kDcLuminanceValues.size());
static_assert(CodeCount(kDcChrominanceBits) == kDcChrominanceValues.size());
static_assert(CodeCount(kAcLuminanceBits) == kAcLuminanceValues.size());
static_assert(CodeCount(kAcChrominanceBits) == kAcChrominanceValues.size());

// Table class (0 = DC, 1 = AC) in the high nibble, destination id in the low one.
constexpr uint8_t kDcLuminanceId = 0x00;
constexpr uint8_t kAcLuminanceId = 0x10;
constexpr uint8_t kDcChrominanceId = 0x01;
constexpr uint8_t kAcChrominanceId = 0x11;

constexpr size_t kDhtPayload = 4 * (1 + 16) + kDcLuminanceValues.size() + kAcLuminanceValues.size() +
                               kDcChrominanceValues.size() + kAcChrominanceValues.size();
constexpr size_t kDhtSegmentLength = 2 + kDhtPayload;  // the length field counts itself
constexpr size_t kDhtSegmentBytes = 2 + kDhtSegmentLength;

template <size_t B, size_t V>
void AppendTable(std::vector<uint8_t>* out, uint8_t id, const std::array<uint8_t, B>& bits,
                 const std::array<uint8_t, V>& values)
{
    out->push_back(id);
    out->insert(out->end(), bits.begin(), bits.end());
    out->insert(out->end(), values.begin(), values.end());
}

void AppendStandardDht(std::vector<uint8_t>* out)
{
    out->push_back(kMarkerPrefix);
    out->push_back(kDht);
    out->push_back(static_cast<uint8_t>(kDhtSegmentLength >> 8));
    out->push_back(static_cast<uint8_t>(kDhtSegmentLength & 0xFF));
    AppendTable(out, kDcLuminanceId, kDcLuminanceBits, kDcLuminanceValues);
    AppendTable(out, kAcLuminanceId, kAcLuminanceBits, kAcLuminanceValues);
    AppendTable(out, kDcChrominanceId, kDcChrominanceBits, kDcChrominanceValues);
    AppendTable(out, kAcChrominanceId, kAcChrominanceBits, kAcChrominanceValues);
}

struct HeaderScan {
    bool wellFormed = false;
    bool hasDht = false;
    size_t sosOffset = 0;
};

// Walks the marker segments from SOI to SOS, checking every length against the buffer's end.
HeaderScan ScanToSos(const uint8_t* jpeg, size_t size)
{
    HeaderScan scan;
    if (jpeg == nullptr || size < 4 || jpeg[0] != kMarkerPrefix || jpeg[1] != kSoi) return scan;
    size_t pos = 2;
    while (pos < size) {
        if (jpeg[pos] != kMarkerPrefix) return scan;
        const size_t markerOffset = pos;
        while (pos < size && jpeg[pos] == kMarkerPrefix) ++pos;  // fill bytes may pad any marker
        if (pos >= size) return scan;
        const uint8_t marker = jpeg[pos++];
        if (marker == kTem || (marker >= kRst0 && marker <= kRst7)) continue;  // no length field
        if (marker == kSoi || marker == kEoi || marker == 0x00) return scan;
        if (size - pos < 2) return scan;
        const size_t length = (static_cast<size_t>(jpeg[pos]) << 8) | jpeg[pos + 1];
        if (length < 2 || length > size - pos) return scan;
        if (marker == kSos) {
            scan.wellFormed = true;
            scan.sosOffset = markerOffset;
            return scan;
        }
        if (marker == kDht) scan.hasDht = true;
        pos += length;
    }
    return scan;
}

}  // namespace

bool HasHuffmanTables(const uint8_t* jpeg, size_t size)
{
    const HeaderScan scan = ScanToSos(jpeg, size);
    return scan.wellFormed && scan.hasDht;
}

// The tables go right before SOS: a decoder needs them only once the scan starts, every frame has an
// SOS, and the segments before it (APP0/APP1 that must follow SOI, SOF, DQT) stay where they were.
HRESULT WithHuffmanTables(const uint8_t* jpeg, size_t size, std::vector<uint8_t>* out)
{
    if (out == nullptr) return E_INVALIDARG;
    const HeaderScan scan = ScanToSos(jpeg, size);
    if (!scan.wellFormed) return E_INVALIDARG;
    const HRESULT hr = NoThrow([&] {
        out->clear();
        if (scan.hasDht) {
            out->assign(jpeg, jpeg + size);
            return;
        }
        out->reserve(size + kDhtSegmentBytes);
        out->insert(out->end(), jpeg, jpeg + scan.sosOffset);
        AppendStandardDht(out);
        out->insert(out->end(), jpeg + scan.sosOffset, jpeg + size);
    });
    if (FAILED(hr)) out->clear();
    return hr;
}

}  // namespace lumicap::v4l2
