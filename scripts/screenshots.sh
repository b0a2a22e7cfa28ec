#!/usr/bin/env bash
# Runs the client on a virtual display against the local back end and saves screenshots as PNG
# files: the splash screen, then the home page once the splash has gone, then the window with
# the warning of a forced disconnect, then the pages of the sign-in road: the login page, the
# registration page with an input error and the server page with the current line marked. A Chinese font is installed as well, since a bare machine
# has none to draw the texts with.
# Usage: scripts/screenshots.sh [output-dir]   (default: screenshots)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/screenshots}")

packages=(xvfb x11-apps netpbm fonts-wqy-microhei)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}"
fi
"$root/scripts/setup.sh"
bin=$root/build/bin
mkdir -p "$out"

. "$root/scripts/lib/local-services.sh"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
pids+=($!)

start_backend

# The client keeps its settings in a home of its own, so every run starts signed out.
HOME="$work/home" DISPLAY=$display NORVANE_API_BASE_URL=$url "$bin/norvane" > "$work/client.log" 2>&1 &
pids+=($!)

shoot() {
  xwd -display "$display" -root -silent | xwdtopnm 2>/dev/null | pnmtopng > "$out/$1.png"
  echo "saved $out/$1.png"
}
sleep 1.5
shoot splash
sleep 3
shoot home

# Runs one of the window's end-to-end tests, which saves its pictures into the output folder as
# it goes; it binds the proxy core's fixed ports, so it waits for other runs that hold them.
window_test() {
  local test=$1
  shift
  if ! HOME="$work/home" QT_QPA_PLATFORM=offscreen NORVANE_SCREENSHOT_DIR=$out \
      flock /tmp/norvane-proxy-ports.lock "$bin/$test" > "$work/$test.log" 2>&1; then
    echo "$test failed:" >&2
    cat "$work/$test.log" >&2
    exit 1
  fi
  for shot in "$@"; do
    echo "saved $out/$shot.png"
  done
}

# A forced disconnect needs a connection that the back end then ends. The window's end-to-end
# test brings that about with the client's own bridge, services and proxy core against an
# in-process back end, and saves the window once the warning is open.
window_test tst_windowendtoend forced-disconnect

# The sign-in road, walked by clicks and keys: the login page, the registration page showing an
# input error, and the server page with the current line marked and the VIP lines locked for a
# free account.
window_test tst_signinendtoend login register-error servers
