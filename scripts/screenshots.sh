#!/usr/bin/env bash
# Runs the client on a virtual display against the local back end and saves screenshots as PNG
# files: the splash screen, then the home page signed out once the splash has gone; then the
# window end-to-end tests save the home page signed in as a free user and connected as a VIP,
# the account pages (settings as a free user, as a VIP and signed out, the VIP page without
# plans, choosing a plan and paying with the payment image, the order history empty, with the
# order and signed out, the announcements and their error, the about page, the two list forms
# that no page opens), the window
# with the warning of a forced disconnect, and the pages of the sign-in road (the login page, the
# registration page as it opens and showing an input error, the server page with the current line
# marked and the VIP lines locked), and the pages with texts longer than the service's own (a user
# without a name shown by a long address and a line with a long name on the server page, the home
# page and the settings page, and an order with a long number in the order history).
# Usage: scripts/screenshots.sh [output-dir]   (default: screenshots)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/screenshots}")

. "$root/scripts/lib/install-packages.sh"
install_packages xvfb x11-apps netpbm "${window_fonts[@]}"
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
  # The window sits at the screen's top-left corner: no window manager moves it.
  xwd -display "$display" -root -silent | xwdtopnm 2>/dev/null \
    | pnmcut -left 0 -top 0 -width 430 -height 880 | pnmtopng > "$out/$1.png"
  echo "saved $out/$1.png"
}
sleep 1.5
shoot splash
sleep 3
shoot home-logged-out

# States that need a sign-in and a connection come from the window end-to-end tests, which
# drive the client's own window, bridge, services and proxy core against an in-process back end
# and save the window when NORVANE_SCREENSHOT_DIR is set. They bind the proxy core's fixed
# ports, so each waits for other runs that hold them. The lock stays with flock itself (-o): a
# child that outlived its suite would otherwise hold it for every later run.
for suite in tst_homeendtoend tst_accountendtoend tst_windowendtoend tst_signinendtoend tst_longtextsendtoend; do
  if ! HOME="$work/home" QT_QPA_PLATFORM=offscreen NORVANE_SCREENSHOT_DIR=$out \
      flock -o /tmp/norvane-proxy-ports.lock "$bin/$suite" > "$work/$suite.log" 2>&1; then
    echo "The end-to-end run $suite failed:" >&2
    cat "$work/$suite.log" >&2
    exit 1
  fi
  grep -ao 'saved .*' "$work/$suite.log" || true
done
