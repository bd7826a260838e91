#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests and the checks need, only those that
# are missing; the demo's extras on request:
#   scripts/install-deps.sh                   the build, the tests, clang-tidy and shellcheck
#   scripts/install-deps.sh --headless-demo   and the headless demo's window manager, tray and
#                                             screenshot tool
#   scripts/install-deps.sh --wayland         and Qt's Wayland platform, for the demo on Wayland
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config clang clang-format clang-tidy shellcheck
    libpugixml-dev libcurl4-openssl-dev libsndfile1-dev libasound2-dev libcpp-httplib-dev libspdlog-dev
    libsystemd-dev libsodium-dev libpsl-dev minisign libgtest-dev libgmock-dev libbenchmark-dev curl
    iproute2 util-linux
    qt6-base-dev qt6-webengine-dev qt6-webchannel-dev libqt6webenginecore6-bin
    fonts-wqy-microhei xvfb xauth
    lintian
)

for extra in "$@"; do
    case $extra in
        --headless-demo) packages+=(openbox imagemagick trayer x11-utils) ;;
        --wayland) packages+=(qt6-wayland) ;;
        *)
            sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//' >&2
            exit 2
            ;;
    esac
done

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
