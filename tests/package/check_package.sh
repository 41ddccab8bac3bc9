#!/usr/bin/env bash
# Builds the Debian package from a finished build, unpacks it into a temporary
# folder and checks what an operator's system gets: the file list, the
# package's dependencies, the desktop entry, the MIME type, the icons and the
# manual pages.
#   check_package.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build=$1 source=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check_package: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb="$work/out/rigwarden_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb") in $(ls "$work/out")"
root="$work/root"
dpkg-deb -x "$deb" "$root"

# Exactly these files, and the help pages when the source has them.
{
  printf '%s\n' /usr/bin/rigwarden /usr/bin/rigwarden-cli /usr/bin/rigwarden-sim \
    /usr/lib/systemd/user/rigwarden-run@.service \
    /usr/share/applications/rigwarden.desktop /usr/share/mime/packages/rigwarden.xml \
    /usr/share/man/man1/rigwarden.1.gz /usr/share/man/man1/rigwarden-cli.1.gz \
    /usr/share/man/man1/rigwarden-sim.1.gz
  for size in 16 22 24 32 48 64 128 256; do
    echo "/usr/share/icons/hicolor/${size}x${size}/apps/rigwarden.png"
  done
  [ ! -d "$source/help" ] || (cd "$source/help" && find . -type f | sed 's|^\.|/usr/share/rigwarden/help|')
} | sort >"$work/expected"
(cd "$root" && find . ! -type d | sed 's|^\.||' | sort) >"$work/actual"
diff -u "$work/expected" "$work/actual" >&2 || fail "unexpected file list"

for program in rigwarden rigwarden-cli rigwarden-sim; do
  file -b "$root/usr/bin/$program" | grep -q '^ELF .* executable' || fail "$program is no executable"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in ca-certificates libc6 libqt6widgets6 libqt6network6 libqt6webenginewidgets6 \
  libavcodec libvorbisenc2; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done

desktop-file-validate "$root/usr/share/applications/rigwarden.desktop" ||
  fail "the desktop entry is not valid"

# The MIME database built from the package knows project files by their
# name, in lower case as the application does.
mkdir -p "$work/mime/packages"
cp "$root/usr/share/mime/packages/rigwarden.xml" "$work/mime/packages/"
update-mime-database "$work/mime" 2>/dev/null
grep -qx '50:application/x-rigwarden-project:\*\.lmp:cs' "$work/mime/globs2" || fail "no *.lmp glob"

for size in 16 22 24 32 48 64 128 256; do
  file -b "$root/usr/share/icons/hicolor/${size}x${size}/apps/rigwarden.png" |
    grep -q "PNG image data, $size x $size," || fail "the ${size}x$size icon is wrong"
done

for page in "$root"/usr/share/man/man1/*.1.gz; do
  warnings=$(gzip -dc "$page" | groff -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
echo "check_package: $(basename "$deb") is complete"
