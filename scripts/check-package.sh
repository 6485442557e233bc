#!/usr/bin/env bash
# Builds the Debian package of a configured build tree, unpacks it into a scratch root and checks what
# a user gets: the installed program runs (version, and a batch run with no display), the desktop
# entry validates, the MIME entry compiles into a MIME database.
#   scripts/check-package.sh <build dir>
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$(cd "$1" && pwd)
(cd "$dir" && rm -f velmora_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/velmora_*.deb)
echo "package: $(basename "$deb"), $(dpkg-deb -f "$deb" Depends | cut -c1-120)..."
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"

"$root/usr/bin/velmora" --version | head -n 1
desktop-file-validate "$root/usr/share/applications/velmora.desktop"
test -s "$root/usr/share/icons/hicolor/scalable/apps/velmora.svg"
test -s "$root/usr/share/man/man1/velmora.1"
XDG_DATA_DIRS="$root/usr/share" update-mime-database "$root/usr/share/mime"
test -f "$root/usr/share/mime/application/x-velmora-case.xml"
if command -v gio >/dev/null; then
  # A case file under another name is still recognised by its header.
  cp "$top/tests/fixtures/l-room.ac" "$root/room.dat"
  type=$(XDG_DATA_HOME="$root/usr/share" XDG_DATA_DIRS="$root/usr/share:/usr/share" \
    gio info -a standard::content-type "$root/room.dat" | sed -n 's/.*content-type: //p')
  [ "$type" = application/x-velmora-case ] || { echo "package: room.dat is $type" >&2; exit 1; }
fi
(cd "$root" && "$root/usr/bin/velmora" batch "$top/tests/fixtures/l-room.ac" --csv map.csv && test -s map.csv)
echo "package: installed program, desktop entry and MIME entry OK"
