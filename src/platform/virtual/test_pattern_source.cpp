#include "test_pattern_source.h"

#include "picture_adjustment.h"
#include "virtual_platform.h"
#include "platform/no_throw.h"

namespace lumicap::virt {

HRESULT TestPatternSource::Deliver(const Frame& frame)
{
    RenderTestPattern(frame.pixels, frame.width, frame.height, frame.number);
    const PictureAdjustment adjustment = controls_->Adjustment();
    return NoThrow([&] { AdjustPicture(frame.pixels, frame.width, frame.height, adjustment); });
}

int TestPatternSource::AddLossListener(LossListener listener) { return camera_->AddUnplugListener(std::move(listener)); }

void TestPatternSource::RemoveLossListener(int id) { camera_->RemoveUnplugListener(id); }

bool TestPatternSource::IsPresent() const { return camera_->IsPlugged(); }

}  // namespace lumicap::virt
