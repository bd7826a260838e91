#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test of one preset:
#   scripts/test.sh            normal build
#   scripts/test.sh asan       AddressSanitizer + UndefinedBehaviorSanitizer
#   scripts/test.sh tsan       ThreadSanitizer, the concurrency tests only
set -euo pipefail
preset=${1:-default}
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
