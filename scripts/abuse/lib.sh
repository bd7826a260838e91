# shellcheck shell=bash
# Sourced by the abuse scenarios: starts the console harness on loopback, runs one scenario
# against it with zn_abuse and prints its verdict. Programs come from $ZN_BENCH_BIN, by default
# build/bench/bench (cmake -S . -B build/bench -DZN_BUILD_GUI=OFF; build zn_console_harness and
# zn_abuse).

set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
bin=${ZN_BENCH_BIN:-$repo/build/bench/bench}

# run_scenario NAME SECONDS RSS_BOUND_MIB
run_scenario() {
    local name=$1 seconds=$2 bound=$3
    for program in zn_console_harness zn_abuse; do
        if [[ ! -x $bin/$program ]]; then
            echo "FAIL $name: $bin/$program is missing (build the bench folder first)"
            return 1
        fi
    done
    ulimit -n "$(ulimit -Hn)"
    folder=$(mktemp -d /tmp/zn-abuse-XXXXXX)
    trap cleanup EXIT
    "$bin/zn_console_harness" --folder "$folder/console" --seats 250 >"$folder/out" 2>"$folder/err" &
    harness=$!
    local ready=""
    for _ in $(seq 100); do
        ready=$(head -n1 "$folder/out" 2>/dev/null || true)
        [[ $ready == ready* ]] && break
        sleep 0.1
    done
    if [[ $ready != ready* ]]; then
        echo "FAIL $name: the console harness did not start: $(cat "$folder/err")"
        return 1
    fi
    local port discovery
    read -r _ port discovery <<<"$ready"
    timeout $((seconds + 60)) "$bin/zn_abuse" --scenario "$name" --port "$port" \
        --discovery-port "$discovery" --pid "$harness" --duration "$seconds" \
        --rss-limit-mib "$bound"
}

# The harness is ended however the scenario ends, a failed verdict included.
cleanup() {
    if [[ -n ${harness:-} ]]; then
        kill "$harness" 2>/dev/null || true
        wait "$harness" 2>/dev/null || true
    fi
    rm -rf "${folder:-/nonexistent}"
}
