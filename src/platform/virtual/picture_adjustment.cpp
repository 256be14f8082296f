#include "picture_adjustment.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace lumicap::virt {
namespace {

constexpr int kFixedOne = 1 << 12;
constexpr double kPi = 3.14159265358979323846;

// The colour operations in fixed point, worked out once per frame.
struct ColourTransform {
    int hueCos = kFixedOne;
    int hueSin = 0;
    int saturation = 100;
    int contrast = 100;
    int brightness = 0;
};

ColourTransform TransformOf(const PictureAdjustment& adjustment)
{
    const double radians = adjustment.hue * kPi / 180.0;
    ColourTransform transform;
    transform.hueCos = static_cast<int>(std::lround(std::cos(radians) * kFixedOne));
    transform.hueSin = static_cast<int>(std::lround(std::sin(radians) * kFixedOne));
    transform.saturation = adjustment.saturation;
    transform.contrast = adjustment.contrast;
    transform.brightness = adjustment.brightness * 2;
    return transform;
}

int Clamp(int channel) { return std::clamp(channel, 0, 255); }

int Finish(int channel, const ColourTransform& transform)
{
    return Clamp(128 + (channel - 128) * transform.contrast / 100 + transform.brightness);
}

uint32_t AdjustColour(uint32_t pixel, const ColourTransform& transform)
{
    const int r = static_cast<int>((pixel >> 16) & 0xFF);
    const int g = static_cast<int>((pixel >> 8) & 0xFF);
    const int b = static_cast<int>(pixel & 0xFF);
    // Luma and two colour differences; the differences turn by the hue and scale by the saturation.
    const int luma = (77 * r + 150 * g + 29 * b) >> 8;
    const int u = b - luma;
    const int v = r - luma;
    const int turnedU = (u * transform.hueCos - v * transform.hueSin) / kFixedOne * transform.saturation / 100;
    const int turnedV = (u * transform.hueSin + v * transform.hueCos) / kFixedOne * transform.saturation / 100;
    const int newB = luma + turnedU;
    const int newR = luma + turnedV;
    const int newG = (luma * 256 - 77 * newR - 29 * newB) / 150;
    return static_cast<uint32_t>(Finish(Clamp(newR), transform)) << 16 |
           static_cast<uint32_t>(Finish(Clamp(newG), transform)) << 8 | static_cast<uint32_t>(Finish(Clamp(newB), transform));
}

// The source pixel shown at pixel `at` when the picture is magnified zoom percent about its centre,
// measured from pixel centres so both halves stay symmetric.
UINT32 ZoomedFrom(UINT32 at, UINT32 size, LONG zoom)
{
    const double centre = size / 2.0;
    const double from = std::floor(centre + (at + 0.5 - centre) * 100.0 / zoom);
    return static_cast<UINT32>(std::clamp(from, 0.0, size - 1.0));
}

void Zoom(uint32_t* pixels, UINT32 width, UINT32 height, LONG zoom)
{
    const std::vector<uint32_t> original(pixels, pixels + static_cast<size_t>(width) * height);
    std::vector<UINT32> columns(width);
    for (UINT32 x = 0; x < width; ++x) columns[x] = ZoomedFrom(x, width, zoom);
    for (UINT32 y = 0; y < height; ++y) {
        const uint32_t* from = original.data() + static_cast<size_t>(ZoomedFrom(y, height, zoom)) * width;
        uint32_t* row = pixels + static_cast<size_t>(y) * width;
        for (UINT32 x = 0; x < width; ++x) row[x] = from[columns[x]];
    }
}

}  // namespace

void AdjustPicture(uint32_t* pixels, UINT32 width, UINT32 height, const PictureAdjustment& adjustment)
{
    if (!pixels || width == 0 || height == 0) return;
    if (adjustment.zoom > 100) Zoom(pixels, width, height, adjustment.zoom);
    // Untouched colours stay exact: the conversion through luma would round them.
    if (!adjustment.ChangesColours()) return;
    const ColourTransform transform = TransformOf(adjustment);
    const size_t count = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < count; ++i) pixels[i] = AdjustColour(pixels[i], transform);
}

}  // namespace lumicap::virt
