#!/bin/sh
# Runs the V4L2 device suites of a build, inside the VM (scripts/v4l2-vm.sh runs this by default).
# Each suite starts with vivid drawing its text again (the default), whatever the last one set.
#   tests/v4l2/run_device_suites.sh [BUILD_DIR]   (default build/linux-v4l2)
set -eu
build=${1:-build/linux-v4l2}
status=0
for suite in lumicap_v4l2_device_tests lumicap_v4l2_exports_tests lumicap_v4l2_controls_tests; do
    program="$build/tests/v4l2/$suite"
    if [ ! -x "$program" ]; then
        echo "run_device_suites: $program is not built" >&2
        status=1
        continue
    fi
    for node in /dev/video0 /dev/video4; do
        v4l2-ctl -d "$node" -c osd_text_mode=0 >/dev/null 2>&1 || true
    done
    echo "== $suite"
    "$program" || status=1
done
# A webcam that sends MJPG: the loopback node, a camera while the writer feeds it.
echo "== lumicap_v4l2_mjpg_tests (v4l2loopback fed by lumicap_mjpg_writer)"
"$build/tests/v4l2/lumicap_mjpg_writer" /dev/video10 640 360 15 &
writer=$!
tries=0
until v4l2-ctl -d /dev/video10 --list-formats 2>/dev/null | grep -q MJPG || [ $tries -ge 20 ]; do
    sleep 0.5
    tries=$((tries + 1))
done
if [ $tries -lt 20 ]; then
    "$build/tests/v4l2/lumicap_v4l2_mjpg_tests" || status=1
else
    echo "run_device_suites: /dev/video10 did not become a camera" >&2
    status=1
fi
kill "$writer"
wait "$writer" || true
echo "== denied camera"
sh tests/v4l2/denied_camera_check.sh "$build" || status=1
exit $status
