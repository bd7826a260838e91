#!/usr/bin/env bash
# Random bytes, half of them framed with a fitting length, from 250 addresses.
# PASS: an honest seat gets its greeting and notice page, and discovery answers, during and
# after; the console's resident memory stays under 64 MiB. Usage: random.sh [seconds]
source "$(dirname "$0")/lib.sh"
run_scenario random "${1:-20}" 64
