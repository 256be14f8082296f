#!/usr/bin/env bash
# Runs the built demo under valgrind memcheck: the default road (1920x1080 preview and photo) and the
# rear camera with several photos. Any memory error, or any block definitely lost, fails the step.
# Installs valgrind when it is missing (as root, Debian).
set -euo pipefail
build="${1:?usage: valgrind-demo.sh BUILD_DIR}"
demo="$(cd "$build" && pwd)/examples/lumicap-demo"

if ! command -v valgrind >/dev/null; then
    if [[ $(id -u) -ne 0 ]]; then
        echo "valgrind-demo: valgrind is missing; run as root to install it" >&2
        exit 1
    fi
    echo "valgrind-demo: installing valgrind"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq -o Dpkg::Use-Pty=0 valgrind >/dev/null
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

passed=0
failed=0
memcheck() {
    local what="$1"
    shift
    # Events take longer under valgrind: a generous timeout per event.
    if valgrind --quiet --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
        --log-file=valgrind.log "$demo" --timeout 120 "$@" > demo.log 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what"
        cat valgrind.log demo.log
    fi
}

memcheck "default road" --out default.jpg
memcheck "rear camera, three photos" --camera "Lumicap Virtual Rear Camera" --format 0 --photos 3 \
    --preview-seconds 0.5 --out 'rear-%d.jpg'

echo "valgrind-demo: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
