#!/usr/bin/env bash
# Makes samples/sounds/phrase.flac, the short spoken phrase the echogram's "listen" offers as a dry
# sound. Run once by hand; the file is kept in the repository, so neither building nor running the
# program needs espeak-ng (Debian: espeak-ng) or sox (Debian: sox), which this script does.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out="$top/samples/sounds/phrase.flac"
for tool in espeak-ng sox; do
  command -v "$tool" >/dev/null || { echo "make-speech-sample: $tool is needed (apt-get install $tool)" >&2; exit 1; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# English voice, 150 words a minute, default pitch: about two and a half seconds.
espeak-ng -v en -s 150 -w "$tmp/phrase.wav" "Can you hear the room? Every wall answers the voice."
# 16-bit mono FLAC at the synthesiser's 22050 Hz; the program brings it to 48 kHz itself. Dither off,
# so that the same espeak-ng gives the same bytes.
sox "$tmp/phrase.wav" -D -b 16 -c 1 "$out"
echo "wrote $out"
