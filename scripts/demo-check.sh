#!/usr/bin/env bash
# Runs the built demo the way a newcomer does and checks what it printed and wrote: the cameras, the
# six formats, a decodable 1920x1080 JPEG, five distinct photos, a clean failure for each error, and
# each camera failure told in words.
set -euo pipefail
build="${1:?usage: demo-check.sh BUILD_DIR}"
demo="$(cd "$build" && pwd)/examples/lumicap-demo"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

passed=0
failed=0
check() {
    local what="$1"
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what"
    fi
}
jpeg_size() { python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
i = 2
while i < len(data):
    marker, length = data[i + 1], struct.unpack(">H", data[i + 2:i + 4])[0]
    if marker in (0xC0, 0xC1, 0xC2):
        h, w = struct.unpack(">HH", data[i + 5:i + 9])
        print(f"{w}x{h}")
        break
    i += 2 + length
PY
}

"$demo" > out.txt
check "lists both cameras" grep -q "1: Lumicap Virtual Rear Camera" out.txt
check "lists six formats" grep -q "5: 320 X 240  FPS 15" out.txt
check "prints timings" grep -q "ready in" out.txt
check "writes lumicap-photo.jpg" test -s lumicap-photo.jpg
check "photo is 1920x1080" test "$(jpeg_size lumicap-photo.jpg)" = "1920x1080"

"$demo" --photos 5 --out 'shot-%d.jpg' > five.txt
check "writes five photos" test "$(ls shot-*.jpg | wc -l)" = 5
check "five distinct photos" test "$(md5sum shot-*.jpg | cut -d' ' -f1 | sort -u | wc -l)" = 5

"$demo" --camera "Lumicap Virtual Rear Camera" --format 1 --out rear.jpg > rear.txt
check "rear camera photo is 2592x1944" test "$(jpeg_size rear.jpg)" = "2592x1944"

# The newest frame as a host reads it (frames mode): a PNG of the format's size.
png_size() { python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]) if d[:8]==b"\x89PNG\r\n\x1a\n" else "")' "$1"; }
"$demo" --format 0 --snapshot frame.png > snapshot.txt
check "--snapshot writes the 640x480 frame as PNG" test "$(png_size frame.png)" = "640x480"

expect_failure() {
    local what="$1"
    shift
    if "$demo" "$@" > /dev/null 2> err.txt; then
        failed=$((failed + 1))
        echo "FAILED: $what exited 0"
    elif [[ $(grep -c '^error:' err.txt) -ne 1 ]]; then
        failed=$((failed + 1))
        echo "FAILED: $what did not print one error line"
    else
        passed=$((passed + 1))
    fi
}
# Beyond the eleven: the rear camera by its listed link, in other letters' case; an unknown link fails.
rear_link=$(grep -A1 "1: Lumicap Virtual Rear Camera" out.txt | sed -n 's/^ *link: //p')
check "lists each camera's link" test -n "$rear_link"
"$demo" --link "${rear_link^^}" --format 1 --out rear-link.jpg > rear-link.txt
check "--link opens that camera" test "$(jpeg_size rear-link.jpg)" = "2592x1944"
expect_failure "unknown link" --link '\\?\nothing#here'
expect_failure "unknown camera name" --camera "No Such Camera"
expect_failure "format out of range" --format 6
expect_failure "unknown option" --bogus
expect_failure "timeout" --timeout 0

# Camera failures as real cameras report them: a non-zero exit and one sentence a person understands.
expect_words() {
    local simulate="$1" words="$2"
    if "$demo" --simulate "$simulate" > /dev/null 2> err.txt; then
        failed=$((failed + 1))
        echo "FAILED: --simulate $simulate exited 0"
    elif ! grep -q "^error: " err.txt || ! grep -qF "$words" err.txt; then
        failed=$((failed + 1))
        echo "FAILED: --simulate $simulate printed: $(cat err.txt)"
    else
        passed=$((passed + 1))
    fi
}
expect_words busy "The preview could not be started: the camera is in use by another application (error 0xC00D3704)."
expect_words denied "camera access is turned off in Settings > Privacy > Camera (error 0x80070005)."
expect_words unplugged "The camera stopped working: the camera was unplugged (error 0xC00D3EA2)."
expect_words taken-over "another application has taken the camera over (error 0xC00D3EA3)."
expect_words device-reset "the graphics device was reset (error 0x887A0005)."

echo "demo-check: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
