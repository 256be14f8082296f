// The line that heads every table: which processor, how many cores and which kernel the numbers
// came from.
#pragma once

#include <string>

namespace lumicap::bench {

std::string DescribeMachine();

// How the benchmark's threads are scheduled (they inherit the process's policy): numbers taken under
// a real-time policy are shielded from other processes' time slices on a shared machine.
std::string DescribeScheduling();

}  // namespace lumicap::bench
