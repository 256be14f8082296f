#!/usr/bin/env bash
# Compiles the C# wrapper, its example and the Windows Forms sample with Mono's C# compiler (warnings
# are errors; the sample against Mono's System.Windows.Forms), then checks the wrapper's declarations
# against lumicap.def and lumicap.h; given the folder of liblumicap.so, also drives the library
# through the wrapper under Mono.
#
#   tests/package/dotnet_check.sh SOURCE_DIR WORK_DIR [LIBRARY_DIR]
set -euo pipefail
source_dir=$1
work=$2
library_dir=${3:-}

for tool in mcs mono; do
    if ! command -v "$tool" >/dev/null; then
        echo "dotnet_check: $tool not found; scripts/install-deps.sh installs mono-mcs" >&2
        exit 1
    fi
done

rm -rf "$work"
mkdir -p "$work"
cd "$work"
compile() { mcs -nologo -warnaserror "$@"; }

# Named apart from lumicap.dll: on Windows a managed Lumicap.dll beside it would shadow the native one.
compile -target:library -out:Lumicap.Interop.dll "$source_dir/examples/dotnet/Lumicap.cs"
compile -target:exe -r:Lumicap.Interop.dll -out:LumicapExample.exe "$source_dir/examples/dotnet/Example.cs"
compile -target:winexe -r:Lumicap.Interop.dll -r:System.Windows.Forms.dll -r:System.Drawing.dll \
    -out:LumicapWinForms.exe "$source_dir/examples/dotnet/WinFormsSample.cs"
echo "dotnet_check: Lumicap.cs, Example.cs and WinFormsSample.cs compile"
compile -target:exe -r:Lumicap.Interop.dll -out:WrapperCheck.exe "$source_dir/tests/package/dotnet/WrapperCheck.cs"

args=("$source_dir/src/interface/lumicap.def" "$source_dir/include/lumicap/lumicap.h")
if [[ -n "$library_dir" ]]; then
    export LD_LIBRARY_PATH="$library_dir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
    args+=(run)
fi
mono --debug WrapperCheck.exe "${args[@]}"
