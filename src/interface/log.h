// The logging channel: one fixed text per step, optionally followed by a value, sent to the host.
#pragma once

#include "text.h"

#include <lumicap/lumicap.h>

namespace lumicap {

void SetLogCallback(LogCallback callback);

// Calls the host's function once with the text when one is set; otherwise does nothing.
void EmitLog(LPCWSTR text);
void EmitLog(const WString& text);

}  // namespace lumicap
