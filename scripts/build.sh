#!/usr/bin/env bash
# Configures and builds one build tree:  scripts/build.sh <dir> [cmake options...] [-- targets...]
# The configure step runs every time (quick when nothing changed), so a tree first configured before
# the test packages were installed picks the tests up later. Warnings are errors in these builds.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# Paths relative to the checkout in the compiler cache, so another clone of the same sources hits it.
export CCACHE_BASEDIR="$top" CCACHE_NOHASHDIR=1
dir=$1; shift
options=()
targets=()
while [ $# -gt 0 ]; do
  if [ "$1" = -- ]; then shift; targets=("$@"); break; fi
  options+=("$1"); shift
done
"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$dir" -G Ninja -DVELMORA_WERROR=ON "${options[@]}" >/dev/null
if [ ${#targets[@]} -gt 0 ]; then
  cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"
else
  cmake --build "$dir" -j "$(nproc)"
fi
