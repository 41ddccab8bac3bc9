#!/usr/bin/env bash
# Builds Rigwarden and starts the application.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$("$root/tools/build.sh" | tail -n 1)
app="$build/bin/rigwarden"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting $app on your display."
  exec "$app" "$@"
fi

seconds=${RW_RUN_SECONDS:-15}
echo "No display found: starting $app under Xvfb (a virtual display) for $seconds seconds."
echo "Set DISPLAY to see the window on a real desktop."
xvfb-run -a timeout "$seconds" "$app" "$@" || status=$?
status=${status:-0}
if [ "$status" = 124 ]; then
  echo "rigwarden ran for $seconds seconds and was stopped."
  exit 0
fi
exit "$status"
