#!/bin/sh
# Inside the VM: a user who may not open the capture nodes still sees the cameras, as udev described
# them, and learns that access is denied when opening one. The VM has no udev, so the records a
# desktop's udev keeps are written here first.
#   tests/v4l2/denied_camera_check.sh [BUILD_DIR]
set -eu
build=${1:-build/linux-v4l2}
mkdir -p /run/udev/data
for node in /dev/video0 /dev/video4; do
    printf 'E:ID_V4L_CAPABILITIES=:capture:\nE:ID_V4L_PRODUCT=vivid\n' >"/run/udev/data/c$(stat -c '%Hr:%Lr' "$node")"
done
chmod 600 /dev/video*
status=0
output=$(setpriv --reuid=65534 --regid=65534 --clear-groups "$build/examples/lumicap-demo" --camera vivid --timeout 20 2>&1) ||
    status=$?
fail() {
    echo "FAIL: $*"
    echo "$output"
    exit 1
}
[ "$status" -eq 2 ] || fail "the demo exits 2 for a camera it may not open (got $status)"
[ "$(echo "$output" | grep -c '^  [0-9]*: vivid$')" -eq 2 ] || fail "the two vivid cameras are listed"
echo "$output" | grep -q 'may not open the camera' || fail "the demo says the camera may not be opened"
echo "PASS: a user outside the video group sees both cameras and is told access is denied"
