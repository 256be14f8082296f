#!/usr/bin/env bash
# The library on real cameras: builds the linux-v4l2 preset, runs its camera-less suite here, then
# its device suites inside a VM whose cameras are the kernel's vivid driver (scripts/v4l2-vm.sh).
# Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset linux-v4l2 >/dev/null
cmake --build --preset linux-v4l2
ctest --preset linux-v4l2
started=$(date +%s)
bash scripts/v4l2-vm.sh
echo "v4l2-tests: device suites passed in the VM in $(( $(date +%s) - started )) s"
