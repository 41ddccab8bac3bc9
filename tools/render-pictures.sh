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

# The demo rig's project (no controllers need to run for these windows), and
# two more of its kind, so that the recent files read like a real list.
json=$(python3 "$root/tools/demo/make_demo.py" "$work/rig" 48000 48100)
"$build/bin/rigwarden-cli" import "$json" "$work/Demo rig.lmp" >/dev/null
cp "$work/Demo rig.lmp" "$work/Museum screens.lmp"
cp "$work/Demo rig.lmp" "$work/Summer festival.lmp"

# Settings of their own: the operator's recent files stay as they are.
XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
  "$build/bin/rw-render-pictures" "$root/doc/images" \
  "$work/Summer festival.lmp" "$work/Museum screens.lmp" "$work/Demo rig.lmp"
