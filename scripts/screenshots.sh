#!/usr/bin/env bash
# Takes the pictures of the README and the administrator's guide again, in a headless demo run
# whose driver takes them on the demo's virtual screens:
#   docs/console.png          the cashier console logged in to the local back office, an order's
#                             transaction page open and its popup out
#   docs/popup.png            the order popup
#   docs/launcher.png         the seat's launcher while it fetches the seat client's release
#   docs/seat.png             the seat client with the shop page
#   docs/config-welcome.png   the configuration tool's welcome page
#   scripts/screenshots.sh [build folder]     (default: the default preset's)
# Needs what the headless demo needs (scripts/demo.sh); CI takes the same pictures elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."
build=()
[[ -n ${1:-} ]] && build=(--build-dir "$1")
exec scripts/demo.sh --pictures docs "${build[@]}"
