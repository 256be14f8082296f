// WM_CAMERA_DEVICES_CHANGED: cameras plugged and unplugged on the virtual platform reach the host as
// a real device's arrival and removal would, folded.
#include "support/test_host.h"

#include "discovery/device_change_notices.h"

#include <lumicap/lumicap_virtual.h>

namespace lumicap::testing {
namespace {

using std::chrono::milliseconds;

virt::Camera Plain(const char* name)
{
    virt::Camera camera;
    camera.friendlyName = T(name);
    camera.symbolicLink = T("\\\\?\\plain#") + T(name);
    camera.category = virt::kCategoryVideoCamera;
    camera.formats = {virt::Format{640, 480, MFVideoFormat_YUY2, 30, 1}};
    return camera;
}

struct FoldingCase {
    const char* description;
    std::vector<std::pair<bool, int>> changes;  // direction (true: arrival), moment in ms
    std::vector<bool> admitted;
};

class Folding : public ::testing::TestWithParam<FoldingCase> {};

TEST_P(Folding, AdmitsOneChangePerDirectionPerWindow)
{
    const FoldingCase& c = GetParam();
    DeviceChangeFolding folding;
    const auto start = std::chrono::steady_clock::now();
    std::vector<bool> admitted;
    for (const auto& [arrived, at] : c.changes) admitted.push_back(folding.Admit(arrived, start + milliseconds(at)));
    EXPECT_EQ(admitted, c.admitted) << c.description;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Folding,
    ::testing::Values(FoldingCase{"nodes of one camera fold", {{true, 0}, {true, 10}, {true, 249}}, {true, false, false}},
                      FoldingCase{"the window ends at 250 ms", {{true, 0}, {true, 250}, {true, 260}}, {true, true, false}},
                      FoldingCase{"a folded change does not extend the window", {{false, 0}, {false, 200}, {false, 300}},
                                  {true, false, true}},
                      FoldingCase{"directions are folded apart", {{true, 0}, {false, 1}, {true, 2}, {false, 3}},
                                  {true, true, false, false}}));

class DeviceChangeMessages : public HostTest {
protected:
    // The wParam of each WM_CAMERA_DEVICES_CHANGED pumped within the period.
    std::vector<WPARAM> PumpedChanges(milliseconds period = milliseconds(100))
    {
        ClearMessages();
        PumpFor(period);
        return DeviceChanges();
    }
};

TEST_F(DeviceChangeMessages, PluggingPostsFoldedArrivalsAndRemovals)
{
    // Before CreateInstance there is nobody to tell.
    virt::AddCamera(Plain("Early"));
    ::CreateInstance(window_);
    EXPECT_TRUE(PumpedChanges().empty());

    // Nothing that changes no device posts anything.
    EXPECT_EQ(LumicapVirtualRemoveCamera(T("Absent").c_str()), 0);
    virt::SetCameras({virt::DefaultCameras()[0], virt::DefaultCameras()[1], Plain("Early")});
    EXPECT_TRUE(PumpedChanges().empty());

    // Two cameras at once are one arrival; a removal is told apart from them.
    virt::AddCamera(Plain("Left"));
    virt::AddCamera(Plain("Right"));
    EXPECT_EQ(virt::RemoveCamera(T("Early")), 1);
    EXPECT_EQ(PumpedChanges(), (std::vector<WPARAM>{DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE}));

    // After the window, a new change is heard again.
    PumpFor(DeviceChangeFolding::kWindow);
    virt::AddCamera(Plain("Late"));
    EXPECT_EQ(PumpedChanges(), std::vector<WPARAM>{DBT_DEVICEARRIVAL});
}

TEST_F(DeviceChangeMessages, NewSetTellsOfCamerasThatLeftAndCame)
{
    ::CreateInstance(window_);
    // One default camera stays, one goes, one comes.
    virt::SetCameras({virt::DefaultCameras()[0], Plain("New")});
    const std::vector<WPARAM> changes = PumpedChanges();
    EXPECT_EQ(changes, (std::vector<WPARAM>{DBT_DEVICEREMOVECOMPLETE, DBT_DEVICEARRIVAL}));
}

TEST_F(DeviceChangeMessages, UnpluggingTheOpenCameraAlsoEndsItsSetUp)
{
    OpenCamera("Lumicap Virtual Rear Camera");
    ClearMessages();
    EXPECT_EQ(LumicapVirtualRemoveCamera(T("Lumicap Virtual Rear Camera").c_str()), 1);
    ASSERT_TRUE(PumpUntilEngineEvent(MF_CAPTURE_ENGINE_ERROR));
    // The engine's thread may post its error before the removal is told.
    EXPECT_TRUE(PumpUntil([&] { return !DeviceChanges().empty(); }));
    EXPECT_EQ(DeviceChanges(), std::vector<WPARAM>{DBT_DEVICEREMOVECOMPLETE});
    EXPECT_EQ(::LumicapGetCurrentCamera(nullptr, nullptr), MF_E_NOT_INITIALIZED);
}

TEST_F(DeviceChangeMessages, AnUnloadedLibraryIsToldNothing)
{
    ::CreateInstance(window_);
    StopWatchingDevices();
    virt::AddCamera(Plain("After"));
    EXPECT_TRUE(PumpedChanges().empty());
}

}  // namespace
}  // namespace lumicap::testing
