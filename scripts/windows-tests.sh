#!/usr/bin/env bash
# Builds the Windows DLLs with mingw-w64, x86_64 and i686: the real one (Media Foundation backend)
# and the camera-less one (virtual cameras). Checks that the real DLL exports exactly the eleven
# plain names and the Lumicap* exports beyond them, the virtual DLL those plus the control functions of lumicap_virtual.h, and that both
# import only system DLLs, and that the virtual build's stand-in mf.dll exports MFEnumDeviceSources,
# the COM entry points and the control functions; then runs each one's host program under Wine,
# headless, in a Wine prefix of its own inside the build directory: the no-camera host test for the
# real DLL, the whole host road for the virtual one, and the window host driven from outside and
# checked by a screenshot. When both DLLs of an architecture are tested, the real DLL runs the whole
# host road too, on Wine's Media Foundation and Direct3D with the stand-in beside it.
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
# would have to ship beside it. The real DLL loads Media Foundation and Direct3D 11 itself, from
# System32, so it loads on Windows N too: importing mf, mfplat or d3d11 fails this check. The virtual
# DLL draws with GDI and encodes with WIC, and needs no Media Foundation or Direct3D at all.
allowed_imports='^(kernel32|user32|gdi32|ole32|oleaut32|shlwapi|msvcrt|ucrtbase)\.dll$|^api-ms-win-crt-[a-z0-9-]+\.dll$'
allowed_virtual_imports='^(kernel32|user32|gdi32|ole32|oleaut32|shlwapi|windowscodecs|msvcrt|ucrtbase)\.dll$|^api-ms-win-crt-[a-z0-9-]+\.dll$'
# The stand-in mf.dll: the one mf.dll function lumicap.dll imports, the COM entry points of the
# capture engine's class, and the control functions. It imports what the virtual DLL may.
stand_in_exports="MFEnumDeviceSources DllGetClassObject DllCanUnloadNow $virtual_exports"
# CLSID_MFCaptureEngineClassFactory, the class the stand-in serves.
engine_class='{EFCE38D3-8914-4674-A7DF-AE1B3D654B8A}'
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
        pass "$preset: lumicap $* build"
        rm -f "$log"
        return 0
    fi
    tail -n 60 "$log"
    rm -f "$log"
    fail "$preset: build"
    return 1
}

check_imports() {
    local preset=$1 triple=$2 dll=$3 allowed=$4 who=${5:-} dlls others
    dlls=$(imported_dlls "$triple" "$dll")
    others=$(echo "$dlls" | grep -Ev "$allowed" || true)
    if [[ -n "$dlls" && -z "$others" ]]; then
        pass "$preset: ${who}imports only system DLLs ($(echo "$dlls" | paste -sd' ' -))"
    else
        fail "$preset: ${who}imports DLLs outside the allow-list: $(echo "$others" | paste -sd' ' -)"
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

# Runs a program under Wine in the given prefix (the caller's WINEDLLOVERRIDES and
# LUMICAP_WINE_REGISTRY pass through to wine-run.sh) and reports it under the given label.
run_host_test() {
    local label=$1 loader=$2 exe=$3 prefix=$4 status=0 output
    shift 4
    output=$(mktemp)
    WINEPREFIX="$prefix" bash "$root/scripts/wine-run.sh" "$loader" "$exe" "$@" 2>&1 |
        tee "$output" | sed 's/^/    /'
    status=${PIPESTATUS[0]}
    if [[ $status -eq 0 ]] && grep -Eq "$passed_summary" "$output" && ! grep -q '^\[  FAILED  \]' "$output"; then
        pass "$label under Wine ($(grep -E "$passed_summary" "$output"))"
    else
        fail "$label under Wine (exit $status)"
    fi
    rm -f "$output"
}

test_preset() {
    local preset=$1 arch triple dll loader host names what allowed program programs arguments targets=()
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
        what="the eleven plain names, the Lumicap* exports and the LumicapVirtual control functions"
        allowed=$allowed_virtual_imports
        targets+=(lumicap_mf_stand_in)
    else
        host=lumicap_host_test
        programs=("tests/windows/$host.exe")
        names=$expected_exports
        what="the eleven plain names and the Lumicap* exports"
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
    if [[ $preset == windows-virtual-* ]]; then
        check_exports "$preset" "$triple" "$root/build/$preset/src/mf.dll" "$stand_in_exports" \
            "the stand-in mf.dll's MFEnumDeviceSources, COM entry points and control functions"
        check_imports "$preset" "$triple" "$root/build/$preset/src/mf.dll" "$allowed_virtual_imports" "the stand-in mf.dll "
    fi
    for program in "${programs[@]}"; do
        check_host_imports "$preset" "$triple" "$root/build/$preset/$program"
    done

    built[$preset]=1

    loader=$(wine_loader "$arch")
    if wine_loader_starts "$loader"; then
        for program in "${programs[@]}"; do
            read -ra arguments <<<"$(program_arguments "$program")"
            run_host_test "$preset: $(basename "$program")" "$loader" "$root/build/$preset/$program" \
                "$root/build/$preset/wineprefix" "${arguments[@]}"
        done
        if [[ $preset != windows-virtual-* ]]; then
            # Windows N without the Media Feature Pack: the library still loads and answers.
            WINEDLLOVERRIDES="mf,mfplat,d3d11=d" run_host_test "$preset: $host.exe without Media Foundation" \
                "$loader" "$root/build/$preset/tests/windows/$host.exe" "$root/build/$preset/wineprefix" \
                lumicap.dll --without-media-foundation
        fi
    elif [[ $arch == i686 ]]; then
        skip "$preset: $(printf '%s ' "${programs[@]##*/}")not run: no 32-bit Wine loader that starts ($loader; package wine32:i386, and a kernel that runs 32-bit programs)"
    else
        fail "$preset: no Wine loader ($loader); run scripts/install-deps.sh"
    fi
}

# The registry file that makes the stand-in, installed as the system's mf.dll, the server of the
# capture engine's class (for 32-bit programs too, whose view of the classes is Wow6432Node's).
write_class_registration() {
    local file=$1 view
    {
        printf 'REGEDIT4\n'
        for view in 'Software\Classes' 'Software\Classes\Wow6432Node'; do
            printf '\n[HKEY_LOCAL_MACHINE\\%s\\CLSID\\%s\\InprocServer32]\n@="C:\\\\windows\\\\system32\\\\mf.dll"\n"ThreadingModel"="Both"\n' \
                "$view" "$engine_class"
        done
    } >"$file"
}

# The real lumicap.dll on the whole host road: the road program of the virtual build and the real DLL
# in one folder, the stand-in installed as the prefix's system mf.dll (the real DLL loads it from
# System32 only) in place of Wine's own, and the engine's class registered to it.
test_real_road() {
    local suffix=$1 real=windows-$1 virtual=windows-virtual-$1 arch road loader
    [[ -n "${built[$real]:-}" && -n "${built[$virtual]:-}" ]] || return
    case $suffix in
        x64) arch=x86_64 ;;
        x86) arch=i686 ;;
    esac
    echo "== $real: the real lumicap.dll on the stand-in mf.dll"
    road=$root/build/$real/stand-in-road
    mkdir -p "$road"
    cp "$root/build/$virtual/tests/windows/lumicap_virtual_road_test.exe" "$root/build/$real/src/lumicap.dll" "$road/"
    rm -f "$road/mf.dll"
    write_class_registration "$road/stand-in.reg"
    loader=$(wine_loader "$arch")
    if wine_loader_starts "$loader"; then
        WINEDLLOVERRIDES="mf=n,b" LUMICAP_WINE_REGISTRY="$road/stand-in.reg" \
            LUMICAP_WINE_SYSTEM_DLLS="$root/build/$virtual/src/mf.dll" \
            run_host_test "$real: lumicap_virtual_road_test.exe on the real lumicap.dll and the stand-in mf.dll" \
            "$loader" "$road/lumicap_virtual_road_test.exe" "$road/wineprefix" lumicap.dll mf.dll
        # A machine without a GPU (a virtual machine, a remote session): Wine's Direct3D makes no device.
        { cat "$road/stand-in.reg"; printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\Direct3D]\n"renderer"="no3d"\n'; } \
            >"$road/no-gpu.reg"
        WINEDLLOVERRIDES="mf=n,b" LUMICAP_WINE_REGISTRY="$road/no-gpu.reg" \
            LUMICAP_WINE_SYSTEM_DLLS="$root/build/$virtual/src/mf.dll" \
            run_host_test "$real: the same road with no Direct3D device (Wine's renderer no3d)" \
            "$loader" "$road/lumicap_virtual_road_test.exe" "$road/no-gpu-prefix" lumicap.dll mf.dll --no-gpu
    else
        skip "$real: the real lumicap.dll's road not run: no Wine loader that starts ($loader)"
    fi
}

declare -A built=()
presets=("$@")
[[ ${#presets[@]} -gt 0 ]] || presets=(windows-x64 windows-x86 windows-virtual-x64 windows-virtual-x86)
for preset in "${presets[@]}"; do
    test_preset "$preset"
done
for suffix in x64 x86; do
    test_real_road "$suffix"
done

echo "windows-tests: $passed passed, $failed failed, $skipped skipped"
[[ $failed -eq 0 && $passed -gt 0 ]]
