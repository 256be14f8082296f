#!/usr/bin/env bash
# Builds the library and runs the demo on the virtual camera: lists the cameras and the formats,
# starts the preview and takes a photo (lumicap-photo.jpg). Extra arguments go to the demo
# (try --help).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

missing=()
for tool in cmake g++; do command -v "$tool" >/dev/null || missing+=("$tool"); done
dpkg-query -W -f='${Status}' libjpeg-dev 2>/dev/null | grep -q 'ok installed' || missing+=(libjpeg-dev)
dpkg-query -W -f='${Status}' libgtest-dev 2>/dev/null | grep -q 'ok installed' || missing+=(libgtest-dev)
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "demo: installing ${missing[*]}"
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The presets are read from the working folder: build in the repository, but run the demo where it was
# started, so the photo lands there.
(cd "$root" && cmake --preset linux >/dev/null && cmake --build --preset linux --target lumicap-demo >/dev/null)
"$root/build/linux/examples/lumicap-demo" "$@"
