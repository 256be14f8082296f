#!/usr/bin/env bash
# Builds the Windows DLLs with mingw-w64, x86_64 and i686: the real one (Media Foundation backend)
# and the camera-less one (virtual cameras). Checks that the real DLL exports exactly the eleven
# plain names, the virtual DLL those plus the control functions of lumicap_virtual.h, and that both
# import only system DLLs; then runs each one's host program under Wine, headless, in a Wine prefix
# of its own inside the build directory: the no-camera host test for the real DLL, the whole host
# road for the virtual one, and the window host driven from outside and checked by a screenshot.
#
#   scripts/windows-tests.sh [PRESET...]
#       (default: windows-x64 windows-x86 windows-virtual-x64 windows-virtual-x86)
#
# Exits non-zero on any failure. Needs what scripts/install-deps.sh installs.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1

# shellcheck source=scripts/windows-common.sh
source "$root/scripts/windows-common.sh"
# System DLLs the library may import; anything else (libstdc++-6, libgcc_s, libwinpthread-1, ...)
# would have to ship beside it. The virtual DLL draws with GDI and encodes with WIC, and needs no
# Media Foundation or Direct3D at all.
allowed_imports='^(kernel32|user32|ole32|oleaut32|shlwapi|mfplat|mf|d3d11|msvcrt|ucrtbase)\.dll$|^api-ms-win-crt-[a-z0-9-]+\.dll$'
allowed_virtual_imports='^(kernel32|user32|gdi32|ole32|oleaut32|shlwapi|windowscodecs|msvcrt|ucrtbase)\.dll$|^api-ms-win-crt-[a-z0-9-]+\.dll$'
mingw_runtime='^(libstdc\+\+|libgcc_s|libwinpthread|libssp|libgomp)'

imported_dlls() {
    "$1-objdump" -p "$2" | awk '/DLL Name:/ { print tolower($3) }' | sort -u
}

build() {
    local preset=$1 log
    shift
    log=$(mktemp)
    if cmake --preset "$preset" >"$log" 2>&1 &&
        cmake --build --preset "$preset" --target lumicap "$@" >>"$log" 2>&1; then
        pass "$preset: lumicap.dll and $(printf '%s.exe ' "$@")build"
        rm -f "$log"
        return 0
    fi
    tail -n 60 "$log"
    rm -f "$log"
    fail "$preset: build"
    return 1
}

check_imports() {
    local preset=$1 triple=$2 dll=$3 allowed=$4 dlls others
    dlls=$(imported_dlls "$triple" "$dll")
    others=$(echo "$dlls" | grep -Ev "$allowed" || true)
    if [[ -n "$dlls" && -z "$others" ]]; then
        pass "$preset: imports only system DLLs ($(echo "$dlls" | paste -sd' ' -))"
    else
        fail "$preset: imports DLLs outside the allow-list: $(echo "$others" | paste -sd' ' -)"
    fi
}

# The host program must start on a bare Windows too, so it carries no MinGW runtime DLL either.
check_host_imports() {
    local preset=$1 triple=$2 exe=$3 runtime
    runtime=$(imported_dlls "$triple" "$exe" | grep -E "$mingw_runtime" || true)
    if [[ -z "$runtime" ]]; then
        pass "$preset: $(basename "$exe") needs no MinGW runtime DLL"
    else
        fail "$preset: $(basename "$exe") imports $(echo "$runtime" | paste -sd' ' -)"
    fi
}

check_version_resource() {
    local preset=$1 triple=$2 dll=$3 text
    text=$("$triple-strings" -el "$dll")
    if grep -qx "Lumicap camera library" <<<"$text" && grep -qx "Lumicap" <<<"$text"; then
        pass "$preset: version resource names the product and describes the file"
    else
        fail "$preset: version resource is missing from lumicap.dll"
    fi
}

# Host programs end with "N passed, M failed"; the GoogleTest suites with "[  PASSED  ] N tests.".
passed_summary='^[0-9]+ passed, 0 failed|^\[  PASSED  \] [0-9]+ tests?\.'

# Event-creation failures can be injected only off Windows (see tests/windows/unit/CMakeLists.txt).
program_arguments() {
    case $(basename "$1") in
        lumicap_windows_unit_tests.exe) echo "--gtest_brief=1 --gtest_filter=-LastErrors/EventCreationFails.*:VirtualFaults.EveryNameInTheHeaderCommentIsListed:VirtualFaults.CreateEventWCountsAndFailsWithTheInjectedLastError" ;;
    esac
}

run_host_test() {
    local preset=$1 loader=$2 exe=$3 status=0 output arguments
    output=$(mktemp)
    read -ra arguments <<<"$(program_arguments "$exe")"
    WINEPREFIX="$root/build/$preset/wineprefix" bash "$root/scripts/wine-run.sh" "$loader" "$exe" "${arguments[@]}" 2>&1 |
        tee "$output" | sed 's/^/    /'
    status=${PIPESTATUS[0]}
    if [[ $status -eq 0 ]] && grep -Eq "$passed_summary" "$output" && ! grep -q '^\[  FAILED  \]' "$output"; then
        pass "$preset: $(basename "$exe") under Wine ($(grep -E "$passed_summary" "$output"))"
    else
        fail "$preset: $(basename "$exe") under Wine (exit $status)"
    fi
    rm -f "$output"
}

test_preset() {
    local preset=$1 arch triple dll loader host names what allowed program programs targets=()
    case $preset in
        windows-x64 | windows-virtual-x64) arch=x86_64 ;;
        windows-x86 | windows-virtual-x86) arch=i686 ;;
        *) fail "unknown preset $preset (windows-x64, windows-x86, windows-virtual-x64 or windows-virtual-x86)"; return ;;
    esac
    if [[ $preset == windows-virtual-* ]]; then
        host=lumicap_virtual_road_test
        # The attribute checks run against the virtual platform and the system's (Wine's) mfplat; the
        # unit suites that build on Windows run on the real message queue, events and SAFEARRAY.
        programs=("tests/windows/$host.exe" tests/windows/lumicap_window_host_check.exe
            tests/conformance/lumicap_attribute_conformance.exe
            tests/windows/unit/lumicap_windows_unit_tests.exe)
        names="$expected_exports $virtual_exports"
        what="the eleven plain names and the nine LumicapVirtual control functions"
        allowed=$allowed_virtual_imports
    else
        host=lumicap_host_test
        programs=("tests/windows/$host.exe")
        names=$expected_exports
        what="the eleven plain names"
        allowed=$allowed_imports
    fi
    triple=$arch-w64-mingw32
    dll=$root/build/$preset/src/lumicap.dll
    for program in "${programs[@]}"; do targets+=("$(basename "$program" .exe)"); done

    echo "== $preset"
    build "$preset" "${targets[@]}" || return
    check_exports "$preset" "$triple" "$dll" "$names" "$what"
    check_imports "$preset" "$triple" "$dll" "$allowed"
    check_version_resource "$preset" "$triple" "$dll"
    for program in "${programs[@]}"; do
        check_host_imports "$preset" "$triple" "$root/build/$preset/$program"
    done

    loader=$(wine_loader "$arch")
    if wine_loader_starts "$loader"; then
        for program in "${programs[@]}"; do
            run_host_test "$preset" "$loader" "$root/build/$preset/$program"
        done
    elif [[ $arch == i686 ]]; then
        skip "$preset: $(printf '%s ' "${programs[@]##*/}")not run: no 32-bit Wine loader that starts ($loader; package wine32:i386, and a kernel that runs 32-bit programs)"
    else
        fail "$preset: no Wine loader ($loader); run scripts/install-deps.sh"
    fi
}

presets=("$@")
[[ ${#presets[@]} -gt 0 ]] || presets=(windows-x64 windows-x86 windows-virtual-x64 windows-virtual-x86)
for preset in "${presets[@]}"; do
    test_preset "$preset"
done

echo "windows-tests: $passed passed, $failed failed, $skipped skipped"
[[ $failed -eq 0 && $passed -gt 0 ]]
