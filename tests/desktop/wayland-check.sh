#!/usr/bin/env bash
# Runs the Wayland smoke program on weston's headless backend (with its desktop shell and
# panel) in a private runtime folder; weston is stopped by its PID whatever happens.
set -euo pipefail
smoke=$1
run=$(mktemp -d /tmp/corvalux-wayland-XXXXXX)
chmod 700 "$run"
weston_pid=
cleanup() {
  if [ -n "$weston_pid" ]; then
    kill "$weston_pid" 2>/dev/null || true
    wait "$weston_pid" 2>/dev/null || true
  fi
  rm -rf "$run"
}
trap cleanup EXIT

XDG_RUNTIME_DIR=$run weston --backend=headless-backend.so --socket=wayland-smoke --width=1280 --height=800 \
  --idle-time=0 >"$run/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
  [ -S "$run/wayland-smoke" ] && break
  kill -0 "$weston_pid" 2>/dev/null || { cat "$run/weston.log"; echo "weston did not start" >&2; exit 1; }
  sleep 0.1
done
[ -S "$run/wayland-smoke" ] || { cat "$run/weston.log"; echo "weston made no socket" >&2; exit 1; }

XDG_RUNTIME_DIR=$run WAYLAND_DISPLAY=wayland-smoke QT_QPA_PLATFORM=wayland "$smoke" "$run"
