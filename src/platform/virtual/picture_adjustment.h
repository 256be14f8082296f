// The virtual cameras' picture controls applied to a drawn frame, so a host sees what it set.
#pragma once

#include "virtual_controls.h"

#include <cstdint>

namespace lumicap::virt {

// Zooms about the centre (nearest pixel), then turns the hue, scales the saturation about each pixel's
// luma, scales the contrast about mid-grey and adds the brightness; channels are clamped to 0-255.
// Throws std::bad_alloc when the zoom's copy of the frame cannot be made.
void AdjustPicture(uint32_t* pixels, UINT32 width, UINT32 height, const PictureAdjustment& adjustment);

}  // namespace lumicap::virt
