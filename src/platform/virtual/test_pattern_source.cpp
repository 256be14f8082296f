#include "test_pattern_source.h"

#include "virtual_platform.h"

namespace lumicap::virt {

HRESULT TestPatternSource::Deliver(const Frame& frame)
{
    RenderTestPattern(frame.pixels, frame.width, frame.height, frame.number);
    return S_OK;
}

int TestPatternSource::AddLossListener(LossListener listener) { return camera_->AddUnplugListener(std::move(listener)); }

void TestPatternSource::RemoveLossListener(int id) { camera_->RemoveUnplugListener(id); }

bool TestPatternSource::IsPresent() const { return camera_->IsPlugged(); }

}  // namespace lumicap::virt
