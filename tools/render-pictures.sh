#!/usr/bin/env bash
# Renders the README's pictures from the application, offscreen, into
# doc/images/: the windows as they are built now, over the demo rig.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$("$root/tools/build.sh" | tail -n 1)
work="$build/pictures"
rm -rf "$work"
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"

# The demo rig's simulated controllers, for the main window during an upload.
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT
for kind in "nx 2 NX1" "kma 1 KMA"; do
  set -- $kind
  "$build/bin/rigwarden-sim" --ports-file "$work/$1-ports.json" --count "$2" --type "$3" \
    >/dev/null &
  pids+=($!)
  for _ in $(seq 100); do
    [ -s "$work/$1-ports.json" ] && break
    sleep 0.1
  done
done

# The demo rig's project, and two more of its kind, so that the recent files
# read like a real list.
json=$(python3 "$root/tools/demo/make_demo.py" "$work/rig" "$work/nx-ports.json" \
  "$work/kma-ports.json")
"$build/bin/rigwarden-cli" import "$json" "$work/Demo rig.lmp" >/dev/null
cp "$work/Demo rig.lmp" "$work/Museum screens.lmp"
cp "$work/Demo rig.lmp" "$work/Summer festival.lmp"

# Settings and data of their own: the operator's recent files, log and kept
# conversions stay as they are.
XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" \
  XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
  "$build/bin/rw-render-pictures" "$root/doc/images" \
  "$work/Summer festival.lmp" "$work/Museum screens.lmp" "$work/Demo rig.lmp"
