#!/usr/bin/env bash
# Installs what the project needs on Debian 12, then configures and builds it.
# Usage: scripts/setup.sh [build-dir]   (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-httpserver-dev qt6-websockets-dev
  qt6-declarative-dev qt6-declarative-dev-tools
  qml6-module-qtqml qml6-module-qtqml-models qml6-module-qtqml-workerscript
  qml6-module-qtquick qml6-module-qtquick-window qml6-module-qtquick-templates
  qml6-module-qtquick-controls qml6-module-qtquick-layouts qml6-module-qtquick-shapes
  qml6-module-qttest
  libssl-dev openssl
  v2ray
  # The running-client suite clicks the client's real window on a virtual display.
  xvfb xdotool
)

. "$root/scripts/lib/install-packages.sh"
# The window suites lay out and measure the window's Chinese texts and emoji.
install_packages "${packages[@]}" "${window_fonts[@]}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --parallel "$(nproc)"
