#!/usr/bin/env bash
# Builds and runs every test: the Linux suites (plain, ASan+UBSan, TSan), the demo end to end, and
# the Windows DLLs with their host test under Wine. Installs what it needs first. Exits non-zero on
# the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

step() { printf '\n== %s\n' "$*"; }

step "dependencies"
bash scripts/install-deps.sh

for preset in linux linux-asan linux-tsan; do
    step "build and test: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done

step "demo on the virtual camera"
bash scripts/demo-check.sh build/linux

step "Windows DLLs under Wine"
bash scripts/windows-tests.sh

step "all tests passed"
