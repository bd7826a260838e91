#!/usr/bin/env bash
# 512 seats that send a length and stall, holding workers until the end.
# PASS: an honest seat gets its greeting and notice page, and discovery answers, during and
# after; the console's resident memory stays under 64 MiB. Usage: stall.sh [seconds]
source "$(dirname "$0")/lib.sh"
run_scenario stall "${1:-20}" 64
