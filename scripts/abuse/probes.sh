#!/usr/bin/env bash
# Discovery datagrams of every size, and request connections with junk of every size.
# PASS: an honest seat gets its greeting and notice page, and discovery answers, during and
# after; the console's resident memory stays under 64 MiB. Usage: probes.sh [seconds]
source "$(dirname "$0")/lib.sh"
run_scenario probes "${1:-20}" 64
