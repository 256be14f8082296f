// The virtual cameras' frame source: the test pattern as the camera's controls adjust it, lost when its
// camera is unplugged.
#pragma once

#include "platform/capture_engine/camera_record.h"
#include "platform/capture_engine/frame_source.h"
#include "virtual_controls.h"

#include <memory>

namespace lumicap::virt {

class TestPatternSource final : public FrameSource {
public:
    TestPatternSource(std::shared_ptr<CameraRecord> camera, std::shared_ptr<const VirtualControls> controls)
        : camera_(std::move(camera)), controls_(std::move(controls))
    {
    }

    // The pattern is drawn afresh for each frame, so there is nothing to set up or take down.
    HRESULT Start(const FrameFormat&) override { return S_OK; }
    void Stop() override {}
    HRESULT Deliver(const Frame& frame) override;

    int AddLossListener(LossListener listener) override;
    void RemoveLossListener(int id) override;
    bool IsPresent() const override;

private:
    const std::shared_ptr<CameraRecord> camera_;
    const std::shared_ptr<const VirtualControls> controls_;
};

}  // namespace lumicap::virt
