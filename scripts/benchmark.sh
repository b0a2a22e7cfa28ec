#!/usr/bin/env bash
# Measures the client on a virtual display against the local back end: time to its first
# frame, resident memory after start, and CPU (with the frames rendered) over an idle window
# on the home page, disconnected and then connected; next to the same figures of a bare Qt
# Quick window that links the same Qt modules, built here. The client starts signed in as the
# demo user and connects by a click on its connect control.
# Usage: scripts/benchmark.sh [idle-seconds]   (default: 30)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
idle=${1:-30}
. "$root/scripts/lib/install-packages.sh"
install_packages xvfb xdotool python3 "${window_fonts[@]}"
"$root/scripts/setup.sh"
bin=$root/build/bin
here=$root/scripts/benchmark

. "$root/scripts/lib/local-services.sh"

echo "Building the bare Qt Quick window..."
cmake -S "$here" -B "$work/bare" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$work/bare-build.log" 2>&1
cmake --build "$work/bare" >> "$work/bare-build.log" 2>&1 || { cat "$work/bare-build.log" >&2; exit 1; }

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display

v2ray -config "$root/scripts/vmess-server.json" > "$work/vmess-server.log" 2>&1 &
pids+=($!)
start_backend

python3 "$here/stored_login.py" "$url" "$work/home/.local/share/norvane" demo@norvane.local demo1234

echo "Measuring the client (about $((2 * idle + 15)) s)..."
HOME="$work/home" NORVANE_API_BASE_URL=$url \
  python3 "$here/measure.py" "$work/client.json" "$idle" --connect -- "$bin/norvane"
echo "Measuring the bare window (about $((idle + 10)) s)..."
HOME="$work/bare-home" python3 "$here/measure.py" "$work/bare.json" "$idle" -- "$work/bare/bare-quick-window"

python3 "$here/table.py" "$idle" "$work/client.json" "$work/bare.json"
