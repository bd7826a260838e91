#!/usr/bin/env bash
# Builds the load tool, its servers and the real console program, then runs the console's load
# measurements of BENCHMARKS.md one after another, each with its baseline in the same run:
#   scripts/bench-console.sh                     every run below
#   scripts/bench-console.sh paced200 closed     only these
#   options: --build-dir D (default build/default, configured with the default preset)
#            --out D       reports and the console's logs (default a new /tmp/zn-bench-* folder)
#            --max-load L  before each run, wait up to 10 minutes for a 1-minute load under L
# Runs: paced20 paced200 closed same-link harness2000 idle2000 cap reminders.
# The runs take place in a network namespace of their own when one can be made, where loopback
# is the only network; otherwise on this machine's loopback (127.0.0.0/8) alone.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A commands=(
    [paced20]="--server program --seats 500 --rate 20 --duration 30"
    [paced200]="--server program --seats 500 --rate 200 --duration 10"
    [closed]="--server program --seats 500 --in-flight 4 --orders 2000 --duration 120"
    [same-link]="--server program --seats 500 --rate 20 --duration 30 --link same"
    [harness2000]="--server harness --seats 2000 --rate 100 --duration 20"
    [idle2000]="--server program --seats 2000 --duration 0"
    [cap]="--server harness --seats 600 --max-workers 500 --rate 100 --duration 20"
    [reminders]="--server program --seats 500 --rate 20 --duration 120 --reminder-minutes 1"
)
order=(paced20 paced200 closed same-link harness2000 idle2000 cap reminders)

usage() { sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; }

# One run: its command, the load average before and after, the report.
run() {
    local name=$1 build=$2 out=$3 max_load=$4
    [[ -n $max_load ]] && wait_for_quiet "$max_load"
    local report=$out/$name.txt
    # shellcheck disable=SC2086 # the options are words
    set -- "$build/bench/zn_load" ${commands[$name]} --log-dir "$out/$name-log"
    {
        echo "# $name: $*"
        echo "# before: $(uptime)"
    } >"$report"
    echo "bench: $name" >&2
    "$@" >>"$report"
    echo "# after: $(uptime)" >>"$report"
    cat "$report"
}

wait_for_quiet() {
    local limit=$1 waited=0 load
    while :; do
        read -r load _ </proc/loadavg
        awk -v l="$load" -v m="$limit" 'BEGIN { exit !(l < m) }' && return 0
        ((waited >= 600)) && {
            echo "bench: load $load still over $limit after 10 minutes; running anyway" >&2
            return 0
        }
        sleep 15
        waited=$((waited + 15))
    done
}

main() {
    local build="" out="" max_load="" names=()
    while (($#)); do
        case $1 in
            --build-dir) build=${2:?}; shift ;;
            --out) out=${2:?}; shift ;;
            --max-load) max_load=${2:?}; shift ;;
            --inside) inside=1 ;;
            -h | --help) usage; exit 0 ;;
            *)
                [[ -n ${commands[$1]:-} ]] || { usage >&2; exit 2; }
                names+=("$1")
                ;;
        esac
        shift
    done
    ((${#names[@]})) || names=("${order[@]}")

    if [[ -z ${inside:-} ]]; then
        if [[ -z $build ]]; then
            build=build/default
            cmake --preset default >/dev/null
        fi
        nice cmake --build "$build" --target zn_load zn_console_harness zn_baseline_server \
            zn_console_program >/dev/null
        out=${out:-$(mktemp -d /tmp/zn-bench-XXXXXX)}
        mkdir -p "$out"
        local again=(bash "$0" --inside --build-dir "$(cd "$build" && pwd)" --out "$out")
        [[ -n $max_load ]] && again+=(--max-load "$max_load")
        again+=("${names[@]}")
        if [[ $(id -u) -eq 0 ]] && unshare -n true 2>/dev/null; then
            exec unshare -n "${again[@]}"
        elif unshare -rn true 2>/dev/null; then
            exec unshare -rn "${again[@]}"
        fi
        echo "bench: no network namespace here; the runs use this machine's loopback" >&2
        exec env ZN_BENCH_NO_NAMESPACE=1 "${again[@]}"
    fi

    [[ -z ${ZN_BENCH_NO_NAMESPACE:-} ]] && ip link set lo up
    for name in "${names[@]}"; do
        run "$name" "$build" "$out" "$max_load"
    done
    echo "bench: reports in $out" >&2
}

main "$@"
