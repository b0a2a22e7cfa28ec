#!/usr/bin/env bash
# Measures the client on a virtual display against the local back end, in one run next to a bare
# Qt Quick window that links the same Qt modules and draws with the same renderer, built here:
# time to the first frame on the screen, resident memory on the home page, CPU (with the frames
# rendered) during the splash and over an idle window on the home page disconnected, connected
# with the window shown and connected with the window unmapped. A second bare window that only
# pulses the connect control's glow is the floor for the connected figure. It prints the
# ratios to the bare windows with their goals. The client starts signed in as the demo user and
# connects by a click on its connect control.
# Usage: scripts/benchmark.sh [idle-seconds]   (default: 30)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
idle=${1:-30}
. "$root/scripts/lib/install-packages.sh"
install_packages xvfb xdotool python3 python3-xlib "${window_fonts[@]}"
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

# The Debian interpreter, which the X library above was installed for.
python=/usr/bin/python3
"$python" "$here/stored_login.py" "$url" "$work/home/.local/share/norvane" demo@norvane.local demo1234

echo "Measuring the client (about $((3 * idle + 15)) s)..."
HOME="$work/home" NORVANE_API_BASE_URL=$url \
  "$python" "$here/measure.py" "$work/client.json" "$idle" --client -- "$bin/norvane"
echo "Measuring the bare window (about $((idle + 6)) s)..."
HOME="$work/bare-home" "$python" "$here/measure.py" "$work/bare.json" "$idle" -- "$work/bare/bare-quick-window"
echo "Measuring the bare pulse window (about $((idle + 6)) s)..."
HOME="$work/bare-home" "$python" "$here/measure.py" "$work/bare-pulse.json" "$idle" -- \
  "$work/bare/bare-quick-window" --pulse

"$python" "$here/table.py" "$idle" "$work/client.json" "$work/bare.json" "$work/bare-pulse.json"
