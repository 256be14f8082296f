// Runs the attribute conformance checks against every implementation this build can reach: the
// virtual platform's everywhere, and on Windows also the system's own mfplat (Wine's under Wine).
// Prints "N passed, M failed" and exits non-zero on any failure.
#include "attribute_conformance.h"

#include <cstdio>

namespace {

using lumicap::conformance::AttributeFactory;
using lumicap::conformance::Results;

#ifdef _WIN32
Results Add(Results total, Results more)
{
    total.passed += more.passed;
    total.failed += more.failed;
    return total;
}

HRESULT SystemCreateAttributes(IMFAttributes** attributes, UINT32 initialSize)
{
    return ::MFCreateAttributes(attributes, initialSize);
}

HRESULT SystemCreateMediaType(IMFMediaType** mediaType) { return ::MFCreateMediaType(mediaType); }

Results RunOnSystem()
{
    Results results;
    const HRESULT hr = MFStartup(MF_VERSION, MFSTARTUP_FULL);
    if (FAILED(hr)) {
        std::printf("FAIL: mfplat: MFStartup (0x%08lX)\n", static_cast<unsigned long>(hr));
        results.failed = 1;
        return results;
    }
    results = lumicap::conformance::RunAttributeConformance({"mfplat", SystemCreateAttributes, SystemCreateMediaType});
    MFShutdown();
    return results;
}
#endif

}  // namespace

int main()
{
    Results total = lumicap::conformance::RunAttributeConformance(
        {"virtual", lumicap::platform::MFCreateAttributes, lumicap::platform::MFCreateMediaType});
#ifdef _WIN32
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    total = Add(total, RunOnSystem());
    CoUninitialize();
#endif
    std::printf("%d passed, %d failed\n", total.passed, total.failed);
    return total.failed == 0 && total.passed > 0 ? 0 : 1;
}
