#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer) in
# build-fuzz/ and runs one target, or all of them one after another, for SECONDS each, niced, on
# one core. The seeds in fuzz/corpus/<target>/ are only read; what a run learns goes to
# build-fuzz/corpus/<target>/ and inputs that break a property to build-fuzz/findings/<target>/.
# fuzz/<target>.dict, where there is one, gives the mutator the format's tokens.
#
#   scripts/fuzz.sh TARGET|all SECONDS
#
# Exits non-zero when a target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(reg_hive select_text window_position qm_catalogue reduction_errors xml_loader script_bridge vb_translator)

if [ $# -ne 2 ] || ! [[ "$2" =~ ^[0-9]+$ ]]; then
    echo "usage: $0 TARGET|all SECONDS   (targets: ${all_targets[*]})" >&2
    exit 2
fi
if [ "$1" = all ]; then
    targets=("${all_targets[@]}")
else
    targets=("$1")
fi

build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DTABULON_FUZZ=ON -DTABULON_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

failed=()
for target in "${targets[@]}"; do
    mkdir -p "$build/corpus/$target" "$build/findings/$target"
    dict=()
    [ -f "fuzz/$target.dict" ] && dict=(-dict="fuzz/$target.dict")
    echo "== fuzz_$target for $2 s =="
    if ! nice -n 10 "$build/fuzz/fuzz_$target" -max_total_time="$2" -print_final_stats=1 "${dict[@]}" \
        -artifact_prefix="$build/findings/$target/" "$build/corpus/$target" "fuzz/corpus/$target"; then
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "findings in: ${failed[*]} (inputs in $build/findings/)" >&2
    exit 1
fi
