#!/usr/bin/env bash
# A flood of connections from 64 addresses, each over the per-seat cap, again and again.
# PASS: an honest seat gets its greeting and notice page, and discovery answers, during and
# after; the console's resident memory stays under 64 MiB. Usage: flood.sh [seconds]
source "$(dirname "$0")/lib.sh"
run_scenario flood "${1:-20}" 64
