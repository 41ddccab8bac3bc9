#!/usr/bin/env bash
# Builds Rigwarden and shows its main job on a demo rig: simulated
# controllers on this machine, a project that points at them, an upload with
# its log and report, and a second upload that finds every file in place.
# With a display, the application is then started on the demo project (or
# on the arguments given) while the simulated controllers keep running.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$("$root/tools/build.sh" | tail -n 1)
bin="$build/bin"
demo="$build/demo"

say() { printf '\n==> %s\n' "$*"; }

pids=()
stop_simulators() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  if [ "${#pids[@]}" -gt 0 ]; then
    echo "Stopped the simulated controllers."
  fi
  pids=()
}
trap stop_simulators EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Starts rigwarden-sim on free ports; its listing goes to the file named first.
start_simulator() {
  local listing=$1
  shift
  rm -f "$listing"
  # A session of their own: Ctrl-C goes to the upload under way, which
  # cancels it cleanly; the simulators are stopped afterwards.
  setsid "$bin/rigwarden-sim" --ports-file "$listing" "$@" >/dev/null &
  pids+=($!)
  for _ in $(seq 100); do
    [ -s "$listing" ] && return 0
    kill -0 "${pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  echo "rigwarden-sim $* did not start" >&2
  exit 1
}

mkdir -p "$demo"
say "Starting simulated controllers on free ports: two of type NX1 and one of type KMA"
start_simulator "$demo/nx-ports.json" --count 2 --type NX1
start_simulator "$demo/kma-ports.json" --count 1 --type KMA
python3 - "$demo/nx-ports.json" "$demo/kma-ports.json" <<'EOF'
import json, sys
for path in sys.argv[1:]:
    listing = json.load(open(path))
    for c in listing["controllers"]:
        print(f"    {c['serialNumber']}: type {c['hardwareType']}, HTTP port {c['http']}, "
              f"FTP port {c['ftp']}")
EOF

say "Making the demo rig in $demo: show files, media, and the project (tools/demo)"
json=$(python3 "$root/tools/demo/make_demo.py" "$demo/rig" "$demo/nx-ports.json" \
  "$demo/kma-ports.json")
project="$demo/demo.lmp"
"$bin/rigwarden-cli" import "$json" "$project"
echo "    $project, imported from $json"

say "Status of the controllers: rigwarden-cli status $project"
"$bin/rigwarden-cli" status "$project"

say "First upload: the video and audio are converted, then every file is sent"
echo "    rigwarden-cli upload $project"
"$bin/rigwarden-cli" upload "$project"

say "Second upload: the kept conversions are reused and the controllers hold every file already, so only the validator files are sent"
"$bin/rigwarden-cli" upload "$project"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  say "Starting $bin/rigwarden on your display; the simulated controllers stop when it ends"
  if [ "$#" -gt 0 ]; then
    "$bin/rigwarden" "$@"
  else
    "$bin/rigwarden" "$project"
  fi
else
  say "No display found: the application's window is not started"
  echo "    On a desktop, run $bin/rigwarden $project"
fi

say "Done: built into $build, uploaded the demo project twice to three simulated controllers"
