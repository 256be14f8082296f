#include "log.h"

#include "module_state.h"

namespace lumicap {

void SetLogCallback(LogCallback callback) { Module().logCallback = callback; }

void EmitLog(LPCWSTR text)
{
    if (LogCallback callback = Module().logCallback) callback(text);
}

void EmitLog(const WString& text) { EmitLog(text.c_str()); }

}  // namespace lumicap
