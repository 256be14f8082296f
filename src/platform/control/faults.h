// Fault injection: every platform operation is counted by name and may be made to fail.
#pragma once

#include "../platform.h"
#include "operation_names.h"

#include <string>
#include <vector>

namespace lumicap::virt {

// Counts one platform operation (its name is one of operation_names.h) and answers the fault injected
// for it, or S_OK. When the answer is a failure and lastError is given, it receives the injected last
// error code.
HRESULT CheckFault(const char* operation, DWORD* lastError = nullptr);

// Platform operations are named after the call, e.g. "MFCreateAttributes", "IMFCaptureEngine::TakePhoto"
// or "IMFMediaType::SetGUID"; operation_names.h holds every name, and "CreateEventW" there fails with
// lastError as the thread's last error code (off Windows only). OperationNames() lists every name the
// platform counts.
std::vector<std::string> OperationNames();

// Makes the operation fail with hr: only its nth call from now (1-based), or every call (nth = 0).
void FailOperation(const std::string& operation, HRESULT hr, unsigned nth = 0, DWORD lastError = 0);
// Makes the nth platform operation from now (of any name) fail with hr.
void FailNthOperation(unsigned long long nth, HRESULT hr, DWORD lastError = 0);
void ClearFaults();
// Platform operations made since the last Reset, in all and by name.
unsigned long long OperationCount();
unsigned long long OperationCount(const std::string& operation);
// The names of the first 4,096 operations made since the last Reset, in order.
std::vector<std::string> OperationLog();

// Forgets every fault rule, the operation counts and the operation log.
void ResetOperations();

}  // namespace lumicap::virt
