#!/usr/bin/env bash
# Builds the Windows DLLs (x86_64 and i686, real Media Foundation backend) with mingw-w64, checks
# that each exports exactly the eleven plain names and imports only system DLLs, then runs the
# Windows host test under Wine, headless, in a Wine prefix of its own inside the build directory.
#
#   scripts/windows-tests.sh [PRESET...]      (default: windows-x64 windows-x86)
#
# Exits non-zero on any failure. Needs what scripts/install-deps.sh installs.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1

passed=0
failed=0
skipped=0
pass() { echo "PASS: $*"; passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
skip() { echo "SKIP: $*"; skipped=$((skipped + 1)); }

expected_exports="CreateInstance FreePhotoMemory GetCameraList GetLastPhoto GetMediaTypeList InitializeCamera
OnCaptureEvent SetLogCallback StartPreview StopPreview TakePhotoAsync"
# System DLLs the library may import; anything else (libstdc++-6, libgcc_s, libwinpthread-1, ...)
# would have to ship beside it.
allowed_imports='^(kernel32|user32|ole32|oleaut32|shlwapi|mfplat|mf|d3d11|msvcrt|ucrtbase)\.dll$|^api-ms-win-crt-[a-z0-9-]+\.dll$'
mingw_runtime='^(libstdc\+\+|libgcc_s|libwinpthread|libssp|libgomp)'

sorted_words() { tr -s '[:space:]' '\n' | sed '/^$/d' | sort; }

# The names of the export name table, one a line, sorted.
exported_names() {
    "$1-objdump" -p "$2" | awk '/^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
                                table && NF == 0 { exit }
                                table { print $NF }' | sort
}

imported_dlls() {
    "$1-objdump" -p "$2" | awk '/DLL Name:/ { print tolower($3) }' | sort -u
}

build() {
    local preset=$1 log
    log=$(mktemp)
    if cmake --preset "$preset" >"$log" 2>&1 &&
        cmake --build --preset "$preset" --target lumicap lumicap_host_test >>"$log" 2>&1; then
        pass "$preset: lumicap.dll and lumicap_host_test.exe build"
        rm -f "$log"
        return 0
    fi
    tail -n 60 "$log"
    rm -f "$log"
    fail "$preset: build"
    return 1
}

check_exports() {
    local preset=$1 triple=$2 dll=$3 actual expected
    actual=$(exported_names "$triple" "$dll")
    expected=$(echo "$expected_exports" | sorted_words)
    if [[ "$actual" == "$expected" ]]; then
        pass "$preset: exports exactly the eleven plain names"
    else
        fail "$preset: exports differ from the eleven plain names"
        diff <(echo "$expected") <(echo "$actual") | sed -n 's/^[<>]/    &/p'
    fi
}

check_imports() {
    local preset=$1 triple=$2 dll=$3 dlls others
    dlls=$(imported_dlls "$triple" "$dll")
    others=$(echo "$dlls" | grep -Ev "$allowed_imports" || true)
    if [[ -n "$dlls" && -z "$others" ]]; then
        pass "$preset: imports only system DLLs ($(echo "$dlls" | paste -sd' ' -))"
    else
        fail "$preset: imports DLLs outside the allow-list: $(echo "$others" | paste -sd' ' -)"
    fi
}

# The host test must start on a bare Windows too, so it carries no MinGW runtime DLL either.
check_host_imports() {
    local preset=$1 triple=$2 exe=$3 runtime
    runtime=$(imported_dlls "$triple" "$exe" | grep -E "$mingw_runtime" || true)
    if [[ -z "$runtime" ]]; then
        pass "$preset: lumicap_host_test.exe needs no MinGW runtime DLL"
    else
        fail "$preset: lumicap_host_test.exe imports $(echo "$runtime" | paste -sd' ' -)"
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

run_host_test() {
    local preset=$1 loader=$2 exe=$3 status=0 output
    output=$(mktemp)
    WINEPREFIX="$root/build/$preset/wineprefix" bash "$root/scripts/wine-run.sh" "$loader" "$exe" 2>&1 |
        tee "$output" | sed 's/^/    /'
    status=${PIPESTATUS[0]}
    if [[ $status -eq 0 ]] && grep -Eq '^[0-9]+ passed, 0 failed' "$output"; then
        pass "$preset: lumicap_host_test.exe under Wine ($(grep -E '^[0-9]+ passed' "$output"))"
    else
        fail "$preset: lumicap_host_test.exe under Wine (exit $status)"
    fi
    rm -f "$output"
}

wine_loader() {
    case $1 in
        x86_64) command -v wine64 || echo /usr/lib/wine/wine64 ;;
        # Debian's wine64 cannot start 32-bit programs; the 32-bit loader comes with wine32:i386.
        i686) echo /usr/lib/wine/wine ;;
    esac
}

test_preset() {
    local preset=$1 arch triple dll exe loader
    case $preset in
        windows-x64) arch=x86_64 ;;
        windows-x86) arch=i686 ;;
        *) fail "unknown preset $preset (windows-x64 or windows-x86)"; return ;;
    esac
    triple=$arch-w64-mingw32
    dll=$root/build/$preset/src/lumicap.dll
    exe=$root/build/$preset/tests/windows/lumicap_host_test.exe

    echo "== $preset"
    build "$preset" || return
    check_exports "$preset" "$triple" "$dll"
    check_imports "$preset" "$triple" "$dll"
    check_version_resource "$preset" "$triple" "$dll"
    check_host_imports "$preset" "$triple" "$exe"

    loader=$(wine_loader "$arch")
    if [[ -x "$loader" ]]; then
        run_host_test "$preset" "$loader" "$exe"
    elif [[ $arch == i686 ]]; then
        skip "$preset: lumicap_host_test.exe not run: no 32-bit Wine loader ($loader; package wine32:i386)"
    else
        fail "$preset: no Wine loader ($loader); run scripts/install-deps.sh"
    fi
}

presets=("$@")
[[ ${#presets[@]} -gt 0 ]] || presets=(windows-x64 windows-x86)
for preset in "${presets[@]}"; do
    test_preset "$preset"
done

echo "windows-tests: $passed passed, $failed failed, $skipped skipped"
[[ $failed -eq 0 && $passed -gt 0 ]]
