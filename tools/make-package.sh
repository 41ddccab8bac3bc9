#!/usr/bin/env bash
# Builds Rigwarden and its Debian package; prints the package's path.
#   sudo apt install ./build/rigwarden_<version>_<arch>.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$("$root/tools/build.sh" | tail -n 1)
(cd "$build" && cpack -G DEB >&2)
ls -t "$build"/rigwarden_*.deb | head -n 1
