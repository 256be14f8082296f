#!/usr/bin/env bash
# The full soak, run by hand: 1,000 engine set-ups, 1,000 preview start/stop cycles and 10,000 photos
# in one process, with resident memory, threads and descriptors measured after a warm-up and at the
# end (CI runs a tenth of it through ctest). Builds an optimised tree of its own first.
#
#   bash scripts/soak.sh [FACTOR]    FACTOR scales every count (default 1)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/reliability-soak
cmake -S . -B "$build" -DLUMICAP_PLATFORM=virtual -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMICAP_BUILD_EXAMPLES=OFF \
    -DLUMICAP_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j2 --target lumicap_soak
"$build/tests/lumicap_soak" "${1:-1}"
