#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and
# fuzzes each one, one after another, starting from its committed corpus:
#   scripts/fuzz.sh                  20 s per target (the CI run)
#   scripts/fuzz.sh 300              5 minutes per target
#   scripts/fuzz.sh 300 seat_list    one target
# New inputs go to a scratch corpus ($ZN_FUZZ_WORK, by default a temporary folder that is
# removed), never into fuzz/corpus. Exits 1 when a target found a fault; its input is kept in
# the scratch folder and named in the output.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=(request_frame feedback_frame xml_document seat_list registry_file profile_file
        release_signature update_manifest response_head command_line path_containment)
fi

scripts/install-deps.sh
build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZN_BUILD_GUI=OFF -DZN_BUILD_FUZZERS=ON "-DZN_SANITIZE=address;undefined" >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

work=${ZN_FUZZ_WORK:-}
if [[ -z $work ]]; then
    work=$(mktemp -d /tmp/zn-fuzz-XXXXXX)
    trap 'rm -rf "$work"' EXIT
fi

failed=0
for target in "${targets[@]}"; do
    corpus=$work/$target
    mkdir -p "$corpus" "$work/faults"
    cp -n fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
    log=$work/$target.log
    status=0
    nice -n 10 timeout $((seconds + 60)) "$build/fuzz/fuzz_$target" "$corpus" \
        -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$work/faults/$target-" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    if ((status == 0)); then
        echo "fuzz $target: ${runs:-?} inputs in $seconds s, no fault"
    else
        trap - EXIT
        echo "fuzz $target: FAULT (exit $status), see $log and $work/faults"
        failed=$((failed + 1))
    fi
done
echo "fuzz: $((${#targets[@]} - failed)) passed, $failed failed"
exit $((failed > 0))
