// Counting of platform operations and the faults injected into them.
#include "faults.h"

#include "platform/no_destructor.h"
#include "platform/no_throw.h"

#ifndef _WIN32
#include "platform/portable/portable_hooks.h"
#endif

#include <mutex>
#include <map>

namespace lumicap::virt {
namespace {

// Fails the call of one operation whose per-name count reaches `target`, or every call.
struct NamedRule {
    std::string operation;
    HRESULT hr;
    bool everyCall;
    unsigned long long target;
    DWORD lastError;
};

// Fails the platform operation whose overall count reaches `target`.
struct NthRule {
    unsigned long long target;
    HRESULT hr;
    DWORD lastError;
};

struct Outcome {
    HRESULT hr = S_OK;
    DWORD lastError = 0;
};

// Far more than any test reads back; enough to bound the log's memory to a few hundred KiB.
constexpr size_t kOperationLogLimit = 4096;

class OperationRegistry {
public:
    Outcome Count(const char* operation)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const unsigned long long total = ++total_;
        const unsigned long long mine = ++counts_[operation];
        // Bounded, so a long-running host of the camera-less build does not grow without end.
        if (log_.size() < kOperationLogLimit) log_.emplace_back(operation);
        Outcome outcome = MatchNth(total);
        const Outcome named = MatchNamed(operation, mine);
        if (outcome.hr == S_OK) outcome = named;
        return outcome;
    }

    void AddNamed(const std::string& operation, HRESULT hr, unsigned nth, DWORD lastError)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        named_.push_back({operation, hr, nth == 0, CountLocked(operation) + nth, lastError});
    }

    void AddNth(unsigned long long nth, HRESULT hr, DWORD lastError)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (nth != 0) nth_.push_back({total_ + nth, hr, lastError});
    }

    void ClearRules()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        named_.clear();
        nth_.clear();
    }

    void ResetAll()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        named_.clear();
        nth_.clear();
        counts_.clear();
        log_.clear();
        total_ = 0;
    }

    unsigned long long Total()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return total_;
    }

    unsigned long long CountOf(const std::string& operation)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return CountLocked(operation);
    }

    std::vector<std::string> Log()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return log_;
    }

private:
    unsigned long long CountLocked(const std::string& operation) const
    {
        const auto found = counts_.find(operation);
        return found == counts_.end() ? 0 : found->second;
    }

    Outcome MatchNth(unsigned long long total)
    {
        for (auto rule = nth_.begin(); rule != nth_.end(); ++rule) {
            if (rule->target == total) {
                const Outcome outcome{rule->hr, rule->lastError};
                nth_.erase(rule);
                return outcome;
            }
        }
        return {};
    }

    // The newest rule wins, so a test can override an earlier one.
    Outcome MatchNamed(const char* operation, unsigned long long count)
    {
        for (auto rule = named_.rbegin(); rule != named_.rend(); ++rule) {
            if (rule->operation != operation) continue;
            if (rule->everyCall) return {rule->hr, rule->lastError};
            if (rule->target == count) {
                const Outcome outcome{rule->hr, rule->lastError};
                named_.erase(std::next(rule).base());
                return outcome;
            }
        }
        return {};
    }

    std::mutex mutex_;
    unsigned long long total_ = 0;
    std::map<std::string, unsigned long long, std::less<>> counts_;
    std::vector<std::string> log_;
    std::vector<NamedRule> named_;
    std::vector<NthRule> nth_;
};

OperationRegistry& Registry()
{
    static NoDestructor<OperationRegistry> registry;
    return registry.Get();
}

#ifndef _WIN32
bool CreateEventFault(DWORD* lastError)
{
    DWORD injected = 0;
    if (SUCCEEDED(CheckFault(operation::kCreateEventW, &injected))) return false;
    if (lastError) *lastError = injected;
    return true;
}

// Installed before main so every CreateEventW is counted, including those made before any control
// call.
const bool g_createEventHookInstalled = [] {
    portable::SetCreateEventFaultHook(&CreateEventFault);
    return true;
}();
#endif

}  // namespace

HRESULT CheckFault(const char* operation, DWORD* lastError)
{
    return NoThrow([&]() -> HRESULT {
        const Outcome outcome = Registry().Count(operation);
        if (FAILED(outcome.hr) && lastError) *lastError = outcome.lastError;
        return outcome.hr;
    });
}

void FailOperation(const std::string& operation, HRESULT hr, unsigned nth, DWORD lastError)
{
    Registry().AddNamed(operation, hr, nth, lastError);
}

void FailNthOperation(unsigned long long nth, HRESULT hr, DWORD lastError) { Registry().AddNth(nth, hr, lastError); }

void ClearFaults() { Registry().ClearRules(); }

void ResetOperations() { Registry().ResetAll(); }

unsigned long long OperationCount() { return Registry().Total(); }

unsigned long long OperationCount(const std::string& operation) { return Registry().CountOf(operation); }

std::vector<std::string> OperationLog() { return Registry().Log(); }

}  // namespace lumicap::virt
