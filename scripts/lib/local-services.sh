# Sourced by the scripts that run the client: a work folder and child processes that end with
# the script, and the standalone local back end on a free port.
# Needs $bin (the build's bin folder). Sets $work; start_backend sets $url.

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

start_backend() {
  "$bin/norvane-local-backend" --port 0 > "$work/backend.out" 2> "$work/backend.log" &
  pids+=($!)
  url=""
  for _ in $(seq 1 50); do
    url=$(sed -n 's/^norvane-local-backend listening on //p' "$work/backend.out")
    [ -n "$url" ] && return 0
    sleep 0.1
  done
  echo "The local back end did not start:" >&2
  cat "$work/backend.log" >&2
  exit 1
}
