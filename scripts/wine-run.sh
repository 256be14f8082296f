#!/usr/bin/env bash
# Runs one Windows program under Wine, headless and without prompts, and exits with its exit code.
#
#   WINEPREFIX=/abs/prefix scripts/wine-run.sh LOADER PROGRAM.exe [ARGUMENTS...]
#
# LOADER is Wine's loader for the program's architecture (e.g. /usr/lib/wine/wine64). The prefix is
# created when missing. Windows need a display, so a private Xvfb serves the run and is stopped
# afterwards, as are the Wine processes of the prefix. Every Wine call is bounded by a timeout.
# WINEDLLOVERRIDES given by the caller are added to the run's own; LUMICAP_WINE_REGISTRY names a
# .reg file imported into the prefix before the program starts; LUMICAP_WINE_SYSTEM_DLLS lists DLLs
# (space-separated paths) installed into the prefix's system folder for the program's architecture.
set -euo pipefail

say() { echo "wine-run: $*"; }

if [[ $# -lt 2 ]]; then
    echo "usage: WINEPREFIX=/abs/prefix $0 LOADER PROGRAM.exe [ARGUMENTS...]" >&2
    exit 2
fi
if [[ -z "${WINEPREFIX:-}" || "${WINEPREFIX}" != /* ]]; then
    say "WINEPREFIX must be set to an absolute path (the run never uses ~/.wine)" >&2
    exit 2
fi

loader=$1
program=$2
shift 2
wine_timeout=${LUMICAP_WINE_TIMEOUT:-300}

export WINEDEBUG=-all
# No Mono or Gecko install dialogs: the prefix needs neither .NET nor HTML.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export WINEARCH=win64
export WINELOADER=$loader

wineserver=$(dirname "$loader")/wineserver
[[ -x "$wineserver" ]] || wineserver=$(command -v wineserver || true)

xvfb_pid=
display_file=
# shellcheck disable=SC2317 # run by the EXIT trap
cleanup() {
    if [[ -n "$wineserver" && -d "$WINEPREFIX" ]]; then
        timeout 60 "$wineserver" -k >/dev/null 2>&1 || true
    fi
    if [[ -n "$xvfb_pid" ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    if [[ -n "$display_file" ]]; then rm -f "$display_file"; fi
}
trap cleanup EXIT

# Xvfb picks a free display number itself and writes it to fd 3 once it accepts connections.
start_xvfb() {
    display_file=$(mktemp)
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$display_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 300); do
        if [[ -s "$display_file" ]]; then
            DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
            export DISPLAY
            say "Xvfb on display $DISPLAY"
            return 0
        fi
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    say "Xvfb did not start" >&2
    return 1
}

if [[ ! -x "$loader" ]]; then
    say "Wine loader $loader not found (scripts/install-deps.sh installs Wine)" >&2
    exit 1
fi
if [[ ! -f "$program" ]]; then
    say "program $program not found" >&2
    exit 1
fi

start_xvfb
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    say "creating Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    timeout "$wine_timeout" "$loader" wineboot --init >/dev/null 2>&1
fi

# 32-bit programs of a 64-bit prefix find their system DLLs in syswow64.
system_folder="$WINEPREFIX/drive_c/windows/system32"
if [[ "$(basename "$loader")" == wine && -d "$WINEPREFIX/drive_c/windows/syswow64" ]]; then
    system_folder="$WINEPREFIX/drive_c/windows/syswow64"
fi
for dll in ${LUMICAP_WINE_SYSTEM_DLLS:-}; do
    say "installing $(basename "$dll") into $(basename "$system_folder")"
    cp "$dll" "$system_folder/"
done

registry=${LUMICAP_WINE_REGISTRY:-}
if [[ -n "$registry" ]]; then
    if [[ ! -f "$registry" ]]; then
        say "registry file $registry not found" >&2
        exit 1
    fi
    say "importing $(basename "$registry") into the prefix"
    (cd "$(dirname "$registry")" && timeout "$wine_timeout" "$loader" reg import "$(basename "$registry")" >/dev/null 2>&1) ||
        { say "importing $registry failed" >&2; exit 1; }
fi

say "running $(basename "$program") under $(basename "$loader")"
status=0
(cd "$(dirname "$program")" && timeout "$wine_timeout" "$loader" "./$(basename "$program")" "$@") || status=$?
if [[ $status -eq 124 ]]; then
    say "$(basename "$program") timed out after ${wine_timeout}s" >&2
fi
exit "$status"
