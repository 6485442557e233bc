#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz (clang, AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each for a bounded time: scripts/fuzz.sh [seconds per target, default 60] [target...]
# A crashing input is kept as fuzz/regressions/TARGET/crash-* and the script fails; move it under a
# telling name and make the normal tests replay it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# Paths relative to the checkout in the compiler cache, so another clone of the same sources hits it.
export CCACHE_BASEDIR="$top" CCACHE_NOHASHDIR=1
seconds=${1:-60}
shift || true
dir=${VELMORA_FUZZ_BUILD:-$top/build-fuzz}

if [ ! -f "$dir/build.ninja" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S "$top" -B "$dir" -G Ninja -DVELMORA_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$top"/fuzz/*_fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi
cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"

status=0
for t in "${targets[@]}"; do
  name=${t%_fuzz}
  seeds="$top/fuzz/corpus/$name"
  regressions="$top/fuzz/regressions/$name"
  work="$dir/corpus/$name"  # grows while fuzzing; the checked-in seeds stay small
  mkdir -p "$work" "$regressions"
  echo "== fuzzing $t for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
      "$dir/fuzz/$t" "$work" "$seeds" "$regressions" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -artifact_prefix="$regressions/" -print_final_stats=1 2>"$dir/$t.log"; then
    echo "$t failed: see $dir/$t.log and the new file in $regressions" >&2
    tail -40 "$dir/$t.log" >&2
    status=1
  fi
  grep -E "^(#[0-9]+.*DONE|stat::number_of_executed_units|Done [0-9]+ runs)" "$dir/$t.log" || tail -3 "$dir/$t.log"
done
exit $status
