#!/usr/bin/env bash
# Lengths over the request cap (64 KiB + 1 up to 4 GiB - 1), refused without reading.
# PASS: an honest seat gets its greeting and notice page, and discovery answers, during and
# after; the console's resident memory stays under 64 MiB. Usage: oversized.sh [seconds]
source "$(dirname "$0")/lib.sh"
run_scenario oversized "${1:-20}" 64
