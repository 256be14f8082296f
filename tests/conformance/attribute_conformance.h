// How attribute stores and media types behave, written once against the platform's creation calls
// and run against each implementation: the virtual platform's (Linux and Windows) and the system's
// own mfplat (Windows, or Wine's). The same checks must pass on every one.
#pragma once

#include "platform/platform.h"

namespace lumicap::conformance {

struct AttributeFactory {
    const char* name;  // prefixes every reported line
    HRESULT (*createAttributes)(IMFAttributes** attributes, UINT32 initialSize);
    HRESULT (*createMediaType)(IMFMediaType** mediaType);
};

struct Results {
    int passed = 0;
    int failed = 0;
};

// Runs every check, printing one "PASS: name: ..." or "FAIL: name: ..." line each.
Results RunAttributeConformance(const AttributeFactory& factory);

}  // namespace lumicap::conformance
