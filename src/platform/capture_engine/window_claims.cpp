#include "window_claims.h"

#include "platform/no_destructor.h"
#include "platform/no_throw.h"

#include <mutex>
#include <utility>
#include <vector>

namespace lumicap::virt {
namespace {

struct Claims {
    std::mutex mutex;
    std::vector<std::pair<HANDLE, const void*>> held;
};

Claims& TheClaims()
{
    static NoDestructor<Claims> claims;
    return claims.Get();
}

}  // namespace

bool ClaimWindow(HANDLE window, const void* owner)
{
    if (!window) return true;
    Claims& claims = TheClaims();
    std::lock_guard<std::mutex> lock(claims.mutex);
    for (const auto& claim : claims.held) {
        if (claim.first == window) return claim.second == owner;
    }
    return SUCCEEDED(PushBackNoThrow(claims.held, std::make_pair(window, owner)));
}

void ReleaseWindow(HANDLE window, const void* owner)
{
    Claims& claims = TheClaims();
    std::lock_guard<std::mutex> lock(claims.mutex);
    for (auto it = claims.held.begin(); it != claims.held.end(); ++it) {
        if (it->first == window && it->second == owner) {
            claims.held.erase(it);
            return;
        }
    }
}

}  // namespace lumicap::virt
