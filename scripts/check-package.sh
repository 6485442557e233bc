#!/usr/bin/env bash
# Builds the Debian package of a configured build tree, unpacks it into a scratch root and checks what
# a user gets: the installed program runs (version, and batch runs of the sample cases with no
# display), the desktop entry validates, the MIME entry compiles into a MIME database and claims case
# files by their name only, the man page and changelog are compressed, the binary is stripped, and
# lintian finds nothing beyond the tags explained in packaging/lintian-explained.txt; where the tree
# builds the Python module, its package python3-velmora is checked too.
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
fail() { echo "package: $*" >&2; exit 1; }

"$root/usr/bin/velmora" --version | head -n 1
echo "package: desktop-file-validate $root/usr/share/applications/velmora.desktop"
# Hints count too: the entry stays free of every remark the validator makes.
validation=$(desktop-file-validate "$root/usr/share/applications/velmora.desktop" 2>&1) ||
  fail "the desktop entry does not validate: $validation"
echo "package: desktop-file-validate: ${validation:-no errors, warnings or hints}"
[ -z "$validation" ] || fail "desktop-file-validate has remarks"
test -s "$root/usr/share/icons/hicolor/scalable/apps/velmora.svg"
gzip -t "$root/usr/share/man/man1/velmora.1.gz" "$root/usr/share/doc/velmora/changelog.gz"
test -s "$root/usr/share/doc/velmora/copyright"
file -b "$root/usr/bin/velmora" | grep -q ', stripped' || fail "usr/bin/velmora is not stripped"
for sample in hall.ac l-room.ac curved-room.ac hall-plan.dxf; do
  test -s "$root/usr/share/velmora/samples/$sample" || fail "sample $sample missing"
done
# The material library, found beside the unpacked program (../share/velmora) and read whole.
test -s "$root/usr/share/velmora/materials.csv" || fail "material library missing"

XDG_DATA_DIRS="$root/usr/share" update-mime-database "$root/usr/share/mime"
test -f "$root/usr/share/mime/application/x-velmora-case.xml"
if command -v gio >/dev/null; then
  # A case file is known by its .ac name; the same bytes under another name, or any other MAT-file
  # (data.mat), are not claimed.
  mkdir "$root/files"
  cp "$top/samples/l-room.ac" "$root/files/room.ac"
  cp "$top/samples/l-room.ac" "$root/files/room.dat"
  cp "$top/samples/l-room.ac" "$root/files/data.mat"
  for f in room.ac room.dat data.mat; do
    type=$(XDG_DATA_HOME="$root/usr/share" XDG_DATA_DIRS="$root/usr/share:/usr/share" \
      gio info -a standard::content-type "$root/files/$f" | sed -n 's/.*content-type: //p')
    echo "package: gio info $f: $type"
    if [ "$f" = room.ac ]; then
      [ "$type" = application/x-velmora-case ] || fail "room.ac is $type"
    else
      [ "$type" != application/x-velmora-case ] || fail "$f is claimed as a case file"
    fi
  done
fi

# The installed program on its own sample cases, as the man page's examples run it.
(cd "$root" && for sample in hall l-room curved-room; do
  "$root/usr/bin/velmora" batch "$root/usr/share/velmora/samples/$sample.ac" --csv "$sample.csv" \
    --polar "$sample-arrivals.csv" && test -s "$sample.csv" && test -s "$sample-arrivals.csv"
done) || fail "a batch run of the samples failed"
"$root/usr/bin/velmora" --help | grep -q "velmora --open $root/usr/share/velmora/samples/hall.ac" ||
  fail "--help does not name the installed samples"

# The Python module's package, where the tree builds the module: unpacked beside the program, it
# imports with the system's Python and computes a sample's map and arrivals.
debs=("$deb")
pydeb=$(ls "$dir"/python3-velmora_*.deb 2>/dev/null || true)
if [ -n "$pydeb" ]; then
  debs+=("$pydeb")
  echo "package: $(basename "$pydeb"), $(dpkg-deb -f "$pydeb" Depends | cut -c1-120)"
  dpkg -x "$pydeb" "$root"
  module=$(ls "$root"/usr/lib/python3/dist-packages/velmora/_velmora.*.so) || fail "the Python module is missing"
  file -b "$module" | grep -q ', stripped' || fail "$module is not stripped"
  test -s "$root/usr/share/doc/python3-velmora/copyright" || fail "python3-velmora has no copyright file"
  (cd "$root" && PYTHONPATH="$root/usr/lib/python3/dist-packages" /usr/bin/python3 -c '
import sys, velmora
assert velmora.__file__.startswith(sys.argv[1]), velmora.__file__
case = velmora.read_case(sys.argv[1] + "/usr/share/velmora/samples/hall.ac")
m = velmora.compute_case(case)
a = velmora.arrivals(velmora.room_of(case), (case["xso"], case["yso"]), (case["xre"], case["yre"]), Lw=case["Lw"])
print("package: import velmora", velmora.__version__, "from", velmora.__file__[len(sys.argv[1]):] + ":",
      "map", "x".join(map(str, m["RT"].shape)) + ",", a.summary)' "$root") ||
    fail "the installed Python module does not work"
fi

# lintian: every tag it prints is shown; the run fails on a tag that packaging/lintian-explained.txt
# does not explain.
if command -v lintian >/dev/null; then
  explained=$(sed -n 's/^\([a-z0-9][a-z0-9+.-]*\):.*/\1/p' "$top/packaging/lintian-explained.txt")
  for package in "${debs[@]}"; do
    echo "package: lintian $(basename "$package")"
    report=$(lintian --no-cfg --display-level ">=pedantic" "$package" 2>&1 || true)
    echo "${report:-(no tags)}"
    unexplained=$(printf '%s\n' "$report" |
      sed -n 's/^[EWIPX]: \(python3-\)\{0,1\}velmora[^:]*: \([a-z0-9+.-]*\).*/\2/p' |
      sort -u | grep -vxF "$explained" || true)
    [ -z "$unexplained" ] || fail "lintian tags not explained in packaging/lintian-explained.txt: $unexplained"
  done
  echo "package: lintian: only the tags explained in packaging/lintian-explained.txt"
else
  echo "package: lintian not installed (scripts/install-deps.sh --test installs it)" >&2
  exit 1
fi
echo "package: installed program, desktop entry, MIME entry, samples${pydeb:+, Python module} and lintian OK"
