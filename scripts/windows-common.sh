# shellcheck shell=bash
# What the Windows DLLs export and how to read it, and which Wine loader runs a program, shared by
# scripts/windows-tests.sh and the release archive's check (tests/package/archive_check.sh). Sourced, not run; check_exports reports through
# the pass and fail functions of the script that sources it.

# shellcheck disable=SC2034 # read by the scripts that source this file
expected_exports="CreateInstance FreePhotoMemory GetCameraList GetLastPhoto GetMediaTypeList InitializeCamera
OnCaptureEvent SetLogCallback StartPreview StopPreview TakePhotoAsync"
# Beyond the eleven, in both DLLs: cameras by symbolic link, camera controls, the preview's.
expected_exports="$expected_exports LumicapGetCameras LumicapInitializeCameraByLink LumicapGetCurrentCamera
LumicapGetControlRange LumicapGetControl LumicapSetControl LumicapSetPreviewMirror LumicapSetPreviewFrames
LumicapGetPreviewFrame"
# The control functions of include/lumicap/lumicap_virtual.h, exported by the virtual DLL only.
# shellcheck disable=SC2034
virtual_exports="LumicapVirtualReset LumicapVirtualSetCameras LumicapVirtualAddCamera LumicapVirtualRemoveCamera
LumicapVirtualFailOperation LumicapVirtualClearFaults LumicapVirtualGetFrameCount LumicapVirtualGetLatestFrame
LumicapVirtualSetCameraCondition LumicapVirtualRaiseEngineError LumicapVirtualSetNextEventStatus
LumicapVirtualSetPhotoWriteMode LumicapVirtualSetMicrophoneCondition LumicapVirtualSetCameraBlocked
LumicapVirtualDropNextEvent LumicapVirtualSetCameraControls"

sorted_words() { tr -s '[:space:]' '\n' | sed '/^$/d' | sort; }

# The names of the export name table of DLL $2 (read with triple $1's objdump), one a line, sorted.
exported_names() {
    "$1-objdump" -p "$2" | awk '/^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
                                table && NF == 0 { exit }
                                table { print $NF }' | sort
}

# check_exports LABEL TRIPLE DLL NAMES WHAT: passes when DLL exports exactly NAMES.
check_exports() {
    local label=$1 triple=$2 dll=$3 names=$4 what=$5 actual expected
    actual=$(exported_names "$triple" "$dll")
    expected=$(echo "$names" | sorted_words)
    if [[ "$actual" == "$expected" ]]; then
        pass "$label: exports exactly $what"
    else
        fail "$label: exports differ from $what"
        diff <(echo "$expected") <(echo "$actual") | sed -n 's/^[<>]/    &/p'
    fi
}

# The Wine loader for programs of ARCH (x86_64 or i686).
wine_loader() {
    case $1 in
        x86_64) command -v wine64 || echo /usr/lib/wine/wine64 ;;
        # Debian's wine64 cannot start 32-bit programs; the 32-bit loader comes with wine32:i386.
        i686) echo /usr/lib/wine/wine ;;
    esac
}

# Whether LOADER starts: one that cannot (a kernel without 32-bit support) counts as none.
wine_loader_starts() {
    [[ -x "$1" ]] && timeout 60 "$1" --version >/dev/null 2>&1
}

# The tally of the checks, printed by the script that sources this file.
# shellcheck disable=SC2034
passed=0
failed=0
skipped=0
pass() { echo "PASS: $*"; passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
skip() { echo "SKIP: $*"; skipped=$((skipped + 1)); }
