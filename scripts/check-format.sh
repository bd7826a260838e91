#!/usr/bin/env bash
# Fails when clang-format would change a tracked C++ file.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || scripts/install-deps.sh
git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run -Werror
