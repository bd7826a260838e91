#!/usr/bin/env bash
# Runs every abuse scenario one after another; exits 1 when any failed. Usage: run-all.sh [seconds]
set -uo pipefail
here=$(dirname "$0")
failed=0
for scenario in flood stall oversized random probes; do
    "$here/$scenario.sh" "${1:-20}" || failed=$((failed + 1))
done
echo "abuse scenarios: $((5 - failed)) passed, $failed failed"
exit $((failed > 0))
