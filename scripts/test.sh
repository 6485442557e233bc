#!/usr/bin/env bash
# Builds everything (installing what is missing) and runs the whole test suite twice: once in the
# normal build, once under AddressSanitizer and UndefinedBehaviorSanitizer; in between, builds the
# program in Release and checks its Debian package.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export QT_QPA_PLATFORM=offscreen

"$top/scripts/install-deps.sh" --test

"$top/scripts/build.sh" "$top/build"
(cd "$top/build" && ctest --output-on-failure -j "$(nproc)")

# The program and its Python module as users and packagers build them: Release, packaged, installed
# into a scratch root.
"$top/scripts/build.sh" "$top/build-release" -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=OFF \
  -DVELMORA_BUILD_BENCH=OFF -- velmora velmora_python
"$top/scripts/check-package.sh" "$top/build-release"

if [ "${VELMORA_SKIP_SANITIZERS:-0}" != 1 ]; then
  "$top/scripts/build.sh" "$top/build-asan" -DVELMORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DVELMORA_BUILD_BENCH=OFF
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export LSAN_OPTIONS="suppressions=$top/scripts/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  (cd "$top/build-asan" && ctest --output-on-failure -j "$(nproc)")
fi

# The fuzz targets, about a minute each (scripts/fuzz.sh builds them with clang in build-fuzz).
if [ "${VELMORA_SKIP_FUZZ:-0}" != 1 ]; then
  "$top/scripts/fuzz.sh" "${VELMORA_FUZZ_SECONDS:-60}"
fi
