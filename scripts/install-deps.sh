#!/usr/bin/env bash
# Installs every Debian 12 package that the build, the tests and the program need.
# Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-image-formats-plugins libgl-dev
  libmatio-dev libcairo2-dev libplot-dev libgsl-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  imagemagick ghostscript hp2xx xvfb xauth
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 -qq update >/dev/null
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 -y -qq install --no-install-recommends "${missing[@]}" >/dev/null
