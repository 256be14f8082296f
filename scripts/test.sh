#!/usr/bin/env bash
# Builds and runs every test: the Linux suites (plain, ASan+UBSan, TSan, each with the package,
# pkg-config and C# tests), the V4L2 build against the kernel's vivid cameras in a VM, the demo end
# to end, the Windows DLLs with their host test under Wine, the Windows window host and package, and
# the Windows release archive with its check. Installs what it needs first. Exits non-zero on the first failure.
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

step "real cameras: the V4L2 build, its device suites in a VM against vivid"
bash scripts/v4l2-tests.sh

step "benchmarks, short run (goals are judged by reading the table)"; bash scripts/bench.sh --short

step "demo on the virtual camera"
bash scripts/demo-check.sh build/linux

step "demo under valgrind memcheck"
bash scripts/valgrind-demo.sh build/linux

step "fuzzing, short run"
bash scripts/fuzz.sh

step "Windows DLLs under Wine"
bash scripts/windows-tests.sh

step "Windows window host and package"
for preset in windows-x64 windows-x86 windows-virtual-x64 windows-virtual-x86; do
    cmake --build --preset "$preset" --target lumicap-win32-host
    ctest --preset "$preset" -L package
done

step "Windows release archive (from the builds above)"
bash scripts/release-windows.sh
bash tests/package/archive_check.sh build/release/lumicap-*-windows.zip

step "all tests passed"
