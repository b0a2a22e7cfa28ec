#!/usr/bin/env bash
# Installs and builds like the test command, then runs the client window against the local back
# end and a local vmess server that the seed's servers point at. Closing the window stops both.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
. "$root/scripts/lib/install-packages.sh"
install_packages "${window_fonts[@]}"
bin=$root/build/bin

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'TEXT'
There is no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).
Run it on a virtual display instead:
    apt-get install -y xvfb && xvfb-run -s "-screen 0 1280x1024x24" scripts/run-client.sh
or save screenshots of the window (splash, home, a forced disconnect) as PNG files:
    scripts/screenshots.sh [folder]
TEXT
  exit 1
fi

. "$root/scripts/lib/local-services.sh"

v2ray -config "$root/scripts/vmess-server.json" > "$work/vmess-server.log" 2>&1 &
pids+=($!)

start_backend

echo "Local back end: $url"
echo "Sign in with demo@norvane.local / demo1234 (free, with trial time) or vip@norvane.local / vip12345 (VIP)."
NORVANE_API_BASE_URL=$url "$bin/norvane"
