#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) with clang, ASan and UBSan in build/fuzz and runs each for a
# fixed number of executions: short by default (CI), longer with an argument.
#
#   bash scripts/fuzz.sh            short runs
#   bash scripts/fuzz.sh long       fifty times as many
#   bash scripts/fuzz.sh FACTOR     FACTOR times as many (e.g. 10)
#
# Installs clang and its libFuzzer runtime when missing (Debian, as root). Each target keeps its corpus
# in build/fuzz/corpus/TARGET, so later runs start from what earlier ones found; a finding leaves its
# input in build/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."

mode="${1:-short}"
case "$mode" in
    short) factor=1 ;;
    long) factor=50 ;;
    *[!0-9]* | '') echo "usage: fuzz.sh [short|long|FACTOR]" >&2; exit 2 ;;
    *) factor="$mode" ;;
esac

# libFuzzer links when clang can build a program with -fsanitize=fuzzer.
fuzzer_works() {
    local probe
    probe="$(mktemp -d)"
    printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' > "$probe/p.cpp"
    clang++ -fsanitize=fuzzer,address,undefined "$probe/p.cpp" -o "$probe/p" >/dev/null 2>&1
    local ok=$?
    rm -rf "$probe"
    return $ok
}

if ! command -v clang++ >/dev/null || ! fuzzer_works; then
    if [[ $(id -u) -ne 0 ]]; then
        echo "fuzz: clang with libFuzzer is missing; run this script as root to install it" >&2
        exit 1
    fi
    echo "fuzz: installing clang and its libFuzzer runtime"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq -o Dpkg::Use-Pty=0 clang >/dev/null
    # The runtime's package is named after the clang version on Debian 12 (libclang-rt-14-dev).
    version="$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -1)"
    fuzzer_works || apt-get install -y -qq -o Dpkg::Use-Pty=0 "libclang-rt-${version}-dev" >/dev/null ||
        apt-get install -y -qq -o Dpkg::Use-Pty=0 llvm-dev >/dev/null
    fuzzer_works || { echo "fuzz: clang cannot link libFuzzer programs" >&2; exit 1; }
fi
clang --version | head -1

build=build/fuzz
flags="-O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S . -B "$build" -DLUMICAP_PLATFORM=virtual -DLUMICAP_FUZZ=ON \
    -DLUMICAP_BUILD_EXAMPLES=OFF -DLUMICAP_BUILD_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null

# Target, executions in the short run, longest input, whether inputs start long. The road target's
# steps are a few bytes each, so it starts at full length and from seeds of the host road.
targets=(
    "byte_stream 10000 1024 1"
    "catalogue 50000 1024 1"
    "host_road 300 256 0"
)
names=()
for entry in "${targets[@]}"; do names+=("lumicap_fuzz_${entry%% *}"); done
cmake --build "$build" -j2 --target "${names[@]}"

# Seeds for the road target, as its step bytes (tests/fuzz/host_road_fuzz.cpp: a step number, then its
# values): the README's road, and one that unplugs the camera while previewing.
write_road_seeds() {
    # CreateInstance(window), InitializeCamera(front), pump, GetMediaTypeList, StartPreview(0, window),
    # pump, TakePhotoAsync, pump, GetLastPhoto, StopPreview, pump, InitializeCamera(rear), pump.
    printf '\x00\x01\x02\x00\x09\x0f\x03\x01\x04\x00\x01\x09\x0f\x06\x09\x0f\x07\x05\x09\x0f\x02\x01\x09\x0f' \
        > "$1/road"
    # The same up to the preview (format 5), then unplug the front camera and go on regardless.
    printf '\x00\x01\x02\x00\x09\x0f\x04\x05\x01\x09\x0f\x06\x0c\x00\x09\x0f\x03\x01\x04\x00\x01\x06\x07\x05\x02\x01\x09\x0f' \
        > "$1/unplug"
}

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$build/findings"
passed=0
failed=0
summary=()
for entry in "${targets[@]}"; do
    read -r target runs max_len len_control <<< "$entry"
    runs=$((runs * factor))
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    log="$build/fuzz-$target.log"
    # A fixed seed keeps the short run the same from one CI run to the next.
    seed=$([[ $factor -eq 1 ]] && echo 1 || echo 0)
    seeds="$build/seeds/$target"
    mkdir -p "$seeds"
    [[ $target == host_road ]] && write_road_seeds "$seeds"
    if "$build/tests/fuzz/lumicap_fuzz_$target" "$corpus" "$seeds" -runs="$runs" -max_len="$max_len" \
        -len_control="$len_control" -seed="$seed" -timeout=60 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target-" > "$log" 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $target (see $log)"
        tail -40 "$log"
    fi
    done_runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    summary+=("$target: ${done_runs:-?} executions")
done
printf 'fuzz: %s\n' "${summary[@]}"
echo "fuzz: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
