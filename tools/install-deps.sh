#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Rigwarden
# need. Idempotent: apt-get update runs only when a package is missing.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-webengine-dev
  libgl-dev libxkbcommon-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libvorbis-dev
  # the crash handler's stack
  libunwind-dev
  # icons, rendered into the resource tree at build time
  breeze-icon-theme
  # running without a display
  xvfb xauth
  # tests: media made with the ffmpeg CLI, real FTP and SMTP servers, curl
  ffmpeg python3 python3-pyftpdlib python3-aiosmtpd curl
  # fuzzing and sanitizers (clang's libFuzzer and runtimes)
  clang libclang-rt-14-dev
  # mail over TLS: certificates made by the tests
  openssl
  # the Debian package (CPack, dpkg-shlibdeps) and the checks of its layout
  dpkg-dev file desktop-file-utils shared-mime-info groff-base
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
