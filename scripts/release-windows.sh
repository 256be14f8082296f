#!/usr/bin/env bash
# Makes the Windows release archive build/release/lumicap-<version>-windows.zip from the four Windows
# presets (built here, or brought up to date when they are built already):
#
#   lumicap-<version>-windows/
#     x64/, x86/               lumicap.dll (Media Foundation), liblumicap.dll.a and lumicap.lib (import
#                              libraries), lumicap.def, lumicap-demo.exe, lumicap-win32-host.exe
#     camera-less/x64/, x86/   the camera-less lumicap.dll on virtual cameras (and mf.dll, the stand-in,
#                              when the windows-virtual-* builds made one)
#     include/lumicap/         lumicap.h
#     dotnet/                  Lumicap.cs (the P/Invoke wrapper), Example.cs, WinFormsSample.cs
#     README.txt               quick start, messages and error codes, version
#
# The version is the build's project(VERSION). Prints the archive's path last.
#
#   scripts/release-windows.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

say() { echo "release-windows: $*"; }

triple_of() {
    case $1 in
        *x64) echo x86_64-w64-mingw32 ;;
        *x86) echo i686-w64-mingw32 ;;
    esac
}

for preset in windows-x64 windows-x86 windows-virtual-x64 windows-virtual-x86; do
    say "building $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target lumicap lumicap-demo lumicap-win32-host >/dev/null
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows-x64/CMakeCache.txt)
[[ -n "$version" ]] || { say "no project version in build/windows-x64/CMakeCache.txt" >&2; exit 1; }
name=lumicap-$version-windows
release=$root/build/release
stage=$release/$name
rm -rf "$release"
mkdir -p "$stage/include/lumicap" "$stage/dotnet"

for arch in x64 x86; do
    build=build/windows-$arch
    triple=$(triple_of "$arch")
    mkdir -p "$stage/$arch"
    cp "$build/src/lumicap.dll" "$build/src/liblumicap.dll.a" src/interface/lumicap.def \
        "$build/examples/lumicap-demo.exe" "$build/examples/lumicap-win32-host.exe" "$stage/$arch/"
    # lumicap.lib for Microsoft's linker: made as the i686 import library is, from the plain names of
    # the .def with the DLL's __stdcall decorations added (on x64 there are none).
    scratch=$(mktemp -d)
    cmake -D NM="$triple-nm" -D DLLTOOL="$triple-dlltool" -D DLL="$build/src/lumicap.dll" \
        -D DEF=src/interface/lumicap.def -D IMPORT_LIBRARY="$scratch/lumicap.lib" \
        -P cmake/LumicapStdcallImportLibrary.cmake
    cp "$scratch/lumicap.lib" "$stage/$arch/"
    rm -rf "$scratch"

    virtual=build/windows-virtual-$arch
    mkdir -p "$stage/camera-less/$arch"
    cp "$virtual/src/lumicap.dll" "$stage/camera-less/$arch/"
    # The stand-in mf.dll, wherever the virtual build puts it (never a Wine prefix's own).
    standin=$(find "$virtual" -path "$virtual/wineprefix" -prune -o -name mf.dll -type f -print | sort | head -n 1)
    if [[ -n "$standin" ]]; then
        cp "$standin" "$stage/camera-less/$arch/"
    fi
done

cp include/lumicap/lumicap.h "$stage/include/lumicap/"
cp examples/dotnet/Lumicap.cs examples/dotnet/Example.cs examples/dotnet/WinFormsSample.cs "$stage/dotnet/"
# Windows line endings: the file is read with Notepad as often as with anything else.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' docs/windows-release-README.txt >"$stage/README.txt"

(cd "$release" && cmake -E tar cf "$name.zip" --format=zip "$name")
say "wrote $release/$name.zip"
echo "$release/$name.zip"
