#!/usr/bin/env bash
# Builds the program alone (installing what is missing) and starts it with the given words.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -x "$top/build/app/velmora" ]; then
  echo "run: building velmora for the first time: about 3 minutes on 2 idle cores (longer on a busy machine); later starts take seconds" >&2
fi
"$top/scripts/build.sh" "$top/build" -- velmora >&2
exec "$top/build/app/velmora" "$@"
