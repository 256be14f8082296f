#!/usr/bin/env bash
# Builds the benchmark program in Release (its own build directory, build/bench) and runs it: a line
# describing the machine, then a table of each hot path against its limit (measured, baseline, ratio,
# goal, met/missed). --short runs every row briefly, to keep the program building and running; its
# numbers are rough; --only NAME runs one benchmark (an unknown name lists them). Missed goals never
# fail this script; only a build or a path that stops working does. Needs what
# scripts/install-deps.sh installs.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DLUMICAP_PLATFORM=virtual -DLUMICAP_BUILD_TESTS=OFF \
    -DLUMICAP_BUILD_EXAMPLES=OFF -DLUMICAP_BUILD_BENCHMARKS=ON >/dev/null
cmake --build build/bench --target lumicap_bench -j2 >/dev/null
# Real-time scheduling where allowed (root): the program's threads sleep between hand-offs, and on a
# shared machine other processes' time slices would otherwise land inside the measured paths. Each
# thread still wakes as the library's threads do; the program prints the policy it ran under.
run=()
if chrt -f 10 true 2>/dev/null; then run=(chrt -f 10); fi
exec "${run[@]}" build/bench/bench/lumicap_bench "$@"
