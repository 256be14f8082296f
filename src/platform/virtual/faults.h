// The fault and operation registry's reset, used by Reset().
#pragma once

namespace lumicap::virt {

// Forgets every fault rule, the operation counts and the operation log.
void ResetOperations();

}  // namespace lumicap::virt
