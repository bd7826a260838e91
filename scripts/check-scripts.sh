#!/usr/bin/env bash
# Checks every shell script of the project with shellcheck (settings in .shellcheckrc).
set -euo pipefail
cd "$(dirname "$0")/.."

command -v shellcheck >/dev/null || scripts/install-deps.sh
mapfile -t scripts < <(git ls-files '*.sh' .ci/run)
shellcheck -x "${scripts[@]}"
echo "shellcheck: ${#scripts[@]} scripts clean"
