// The count of virtual platform objects alive, so tests can see leaked references.
#include "live_object.h"

#include <atomic>

namespace lumicap::virt {
namespace {

std::atomic<long> g_liveObjects{0};

}  // namespace

LiveObject::LiveObject() { ++g_liveObjects; }

LiveObject::LiveObject(const LiveObject&) { ++g_liveObjects; }

LiveObject::~LiveObject() { --g_liveObjects; }

long LiveObjectCount() { return g_liveObjects.load(); }

}  // namespace lumicap::virt
