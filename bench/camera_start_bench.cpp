// How long a host waits to open a camera (InitializeCamera until WM_CAMERA_READY arrives) and to
// start its preview (StartPreview until the engine's confirmation has been handled). Reported only:
// both are dominated by the platform's set-up, which has no single limit to compare with.
#include "benches.h"

#include "capture/capture_manager.h"
#include "interface/module_state.h"

#include <stdexcept>
#include <vector>

namespace lumicap::bench {

void RunCameraStartBench(const RunLength& length, BenchHost& host, ResultTable& table)
{
    const int rounds = length.Repetitions(200, 20);
    std::vector<double> ready;
    std::vector<double> started;
    for (int i = 0; i < rounds + 2; ++i) {
        // Opened from no engine set-up, as a host's first InitializeCamera is: the tear-down of the
        // previous set-up (its preview included) is not part of the time.
        Module().theManager->StopPreviewBeforeTearDown();
        Module().theManager->ReleaseEngine();
        const auto opening = Clock::now();
        if (FAILED(::InitializeCamera(u"Lumicap Virtual Camera"))) throw std::runtime_error("InitializeCamera failed");
        host.ExpectMessage(WM_CAMERA_READY, "WM_CAMERA_READY");
        const double open = NanosecondsBetween(opening, Clock::now());
        host.ExpectEngineEvent(MF_CAPTURE_ENGINE_INITIALIZED, "the engine's initialised event");

        const auto starting = Clock::now();
        host.StartPreview(3);
        const double start = NanosecondsBetween(starting, Clock::now());
        if (i < 2) continue;
        ready.push_back(open);
        started.push_back(start);
    }
    host.StopPreview();

    table.AddAndShow({"InitializeCamera to WM_CAMERA_READY", FormatSummary(Summarize(ready)), "-", "-", "reported",
                      Verdict::kReported},
                     stdout);
    table.AddAndShow({"StartPreview (1920x1080) to PREVIEW_STARTED handled", FormatSummary(Summarize(started)), "-",
                      "-", "reported", Verdict::kReported},
                     stdout);
}

}  // namespace lumicap::bench
