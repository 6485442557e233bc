#!/usr/bin/env bash
# Builds VELMORA (installing what is missing) and starts it with the given words.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/build.sh" "$top/build" >&2
exec "$top/build/app/velmora" "$@"
