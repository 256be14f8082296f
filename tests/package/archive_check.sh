#!/usr/bin/env bash
# Checks the Windows release archive that scripts/release-windows.sh made, as its users get it:
# unpacked with unzip, it holds exactly the documented files; the real DLLs export exactly the eleven
# plain names and the camera-less ones those and the LumicapVirtual control functions; the archive's
# name, lumicap.h's version macros, every DLL's version resource and README.txt tell one version; and
# a plain C program builds against include/ and each import library (liblumicap.dll.a and lumicap.lib)
# and runs under Wine with the real and the camera-less DLL. 32-bit programs run only where a 32-bit
# Wine loader starts; otherwise their runs are reported as skipped.
#
#   [WINEPREFIX=/abs/prefix] tests/package/archive_check.sh build/release/lumicap-<version>-windows.zip
#
# The Wine prefix defaults to the windows-x64 build's. Ends with "archive_check: N passed, M failed,
# K skipped" and exits non-zero on any failure.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=scripts/windows-common.sh
source "$root/scripts/windows-common.sh"

finish() {
    echo "archive_check: $passed passed, $failed failed, $skipped skipped"
    [[ $failed -eq 0 && $passed -gt 0 ]]
    exit
}

archive=${1:?usage: archive_check.sh lumicap-VERSION-windows.zip}
archive=$(cd "$(dirname "$archive")" && pwd)/$(basename "$archive")
name=$(basename "$archive" .zip)
if [[ ! $name =~ ^lumicap-([0-9]+)\.([0-9]+)\.([0-9]+)-windows$ ]]; then
    fail "$(basename "$archive") is not named lumicap-MAJOR.MINOR.PATCH-windows.zip"
    finish
fi
version="${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.${BASH_REMATCH[3]}"
export WINEPREFIX=${WINEPREFIX:-$root/build/windows-x64/wineprefix}

work=$(dirname "$archive")/check
rm -rf "$work"
mkdir -p "$work"
if ! unzip -q "$archive" -d "$work/unpacked"; then
    fail "unzip cannot unpack $(basename "$archive")"
    finish
fi
top=$work/unpacked/$name

# Layout: exactly these files; the stand-in mf.dll in both camera-less folders or in neither.
expected="README.txt
camera-less/x64/lumicap.dll
camera-less/x86/lumicap.dll
dotnet/Example.cs
dotnet/Lumicap.cs
dotnet/WinFormsSample.cs
include/lumicap/lumicap.h"
for arch in x64 x86; do
    for file in lumicap.dll liblumicap.dll.a lumicap.lib lumicap.def lumicap-demo.exe lumicap-win32-host.exe; do
        expected+=$'\n'"$arch/$file"
    done
done
if [[ -f "$top/camera-less/x64/mf.dll" || -f "$top/camera-less/x86/mf.dll" ]]; then
    expected+=$'\n'"camera-less/x64/mf.dll"$'\n'"camera-less/x86/mf.dll"
fi
expected=$(sort <<<"$expected")
actual=$(cd "$work/unpacked" && find . -type f | sed 's|^\./||' | sort)
if [[ "$actual" == "$(sed "s|^|$name/|" <<<"$expected")" ]]; then
    pass "the archive holds exactly $name/ with $(wc -l <<<"$expected") files"
else
    fail "the archive's files differ from the documented layout"
    diff <(sed "s|^|$name/|" <<<"$expected") <(echo "$actual") | sed -n 's/^[<>]/    &/p'
    finish
fi

triple_of() { case $1 in x64) echo x86_64-w64-mingw32 ;; x86) echo i686-w64-mingw32 ;; esac; }

for arch in x64 x86; do
    triple=$(triple_of "$arch")
    check_exports "$arch/lumicap.dll" "$triple" "$top/$arch/lumicap.dll" "$expected_exports $preview_exports" "the eleven plain names and the preview's Lumicap exports"
    check_exports "camera-less/$arch/lumicap.dll" "$triple" "$top/camera-less/$arch/lumicap.dll" \
        "$expected_exports $preview_exports $virtual_exports" "the eleven plain names, the preview's Lumicap exports and the LumicapVirtual control functions"
done

# One version throughout.
header=$top/include/lumicap/lumicap.h
macro() { sed -n "s/^#define LUMICAP_VERSION_$1 \"\{0,1\}\([0-9.]*\)\"\{0,1\}.*/\1/p" "$header"; }
header_version="$(macro MAJOR).$(macro MINOR).$(macro PATCH)"
if [[ "$header_version" == "$version" && "$(macro STRING)" == "$version" ]]; then
    pass "lumicap.h's LUMICAP_VERSION_* macros say $version"
else
    fail "lumicap.h says $header_version (string \"$(macro STRING)\"), the archive's name $version"
fi
for dll in x64/lumicap.dll x86/lumicap.dll camera-less/x64/lumicap.dll camera-less/x86/lumicap.dll; do
    if "x86_64-w64-mingw32-strings" -el "$top/$dll" | grep -qx "$version"; then
        pass "$dll's version resource says $version"
    else
        fail "$dll's version resource does not say $version"
    fi
done
if grep -q "^Lumicap $version for Windows" "$top/README.txt"; then
    pass "README.txt is the one of $version"
else
    fail "README.txt does not name version $version"
fi

# A plain C host built as a user builds it: include/ and an import library, nothing of the build tree.
# run_consumer LOADER EXE DLL FOLDER: runs EXE with DLL beside it in FOLDER, as a program ships it;
# prints its result line and returns the program's status.
run_consumer() {
    local loader=$1 exe=$2 dll=$3 folder=$4 output status
    mkdir -p "$folder"
    cp "$exe" "$dll" "$folder/"
    # Wine's console ends lines with CR LF; pipefail keeps the program's status.
    output=$(bash "$root/scripts/wine-run.sh" "$loader" "$folder/$(basename "$exe")" 2>&1 | tr -d '\r')
    status=$?
    grep '^c_consumer:' <<<"$output" || sed 's/^/    /' <<<"$output"
    return $status
}

for arch in x64 x86; do
    triple=$(triple_of "$arch")
    built=()
    for library in liblumicap.dll.a lumicap.lib; do
        exe=$work/$arch-${library%%.*}-consumer.exe
        if "$triple-gcc" -std=c11 -Wall -Wextra -Werror -DUNICODE -D_UNICODE -I "$top/include" \
            "$root/tests/package/c_consumer.c" "$top/$arch/$library" -lmfplat -lole32 -loleaut32 -o "$exe"; then
            pass "$arch: a C consumer builds against include/ and $arch/$library"
            built+=("$exe")
        else
            fail "$arch: a C consumer does not build against include/ and $arch/$library"
        fi
    done
    [[ ${#built[@]} -gt 0 ]] || continue

    case $arch in x64) loader=$(wine_loader x86_64) ;; x86) loader=$(wine_loader i686) ;; esac
    if ! wine_loader_starts "$loader"; then
        if [[ $arch == x86 ]]; then
            skip "$arch: the C consumer not run: no 32-bit Wine loader that starts ($loader)"
        else
            fail "$arch: no Wine loader ($loader); run scripts/install-deps.sh"
        fi
        continue
    fi
    early="lumicap $version, early InitializeCamera 0xC00D36B6, "
    # Each DLL with a consumer of another import library. Wine has no camera: the real DLL's list is
    # empty, but it must be a well-formed one.
    line=$(run_consumer "$loader" "${built[0]}" "$top/$arch/lumicap.dll" "$work/run-$arch")
    status=$?
    if [[ $status -eq 0 && "$line" == "c_consumer: $early"* ]]; then
        pass "$arch: the C consumer runs with $arch/lumicap.dll under Wine (${line#c_consumer: })"
    else
        fail "$arch: the C consumer with $arch/lumicap.dll under Wine (exit $status): $line"
    fi
    line=$(run_consumer "$loader" "${built[-1]}" "$top/camera-less/$arch/lumicap.dll" "$work/run-camera-less-$arch")
    status=$?
    if [[ $status -eq 0 && "$line" == "c_consumer: ${early}2 cameras: \"Lumicap Virtual Camera\" \"Lumicap Virtual Rear Camera\"" ]]; then
        pass "$arch: the C consumer lists the two virtual cameras with camera-less/$arch/lumicap.dll under Wine"
    else
        fail "$arch: the C consumer with camera-less/$arch/lumicap.dll under Wine (exit $status): $line"
    fi
done

finish
