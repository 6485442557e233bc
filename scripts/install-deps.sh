#!/usr/bin/env bash
# Installs the Debian 12 packages VELMORA needs. Idempotent and quiet when everything is there.
#   scripts/install-deps.sh          what building and running the program needs
#   scripts/install-deps.sh --test   also what the tests, benchmarks, fuzzers and packaging need, and
#                                    the Python module (python/, built when these are installed)
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-image-formats-plugins libgl-dev
  libmatio-dev zlib1g-dev libcairo2-dev libplot-dev libgsl-dev libtbb-dev libdxflib-dev libmimalloc-dev
  nlohmann-json3-dev fonts-dejavu-core
  libsndfile1-dev libfftw3-dev qt6-multimedia-dev
)
if [ "${1:-}" = --test ]; then
  packages+=(
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    clang-14 libclang-rt-14-dev
    imagemagick ghostscript hp2xx xvfb xauth
    poppler-utils librsvg2-bin libxml2-utils python3-ezdxf
    desktop-file-utils shared-mime-info dpkg-dev file parallel lintian libglib2.0-bin
    python3-dev python3-pybind11 python3-numpy python3-pytest python3-matplotlib
    sox pulseaudio pulseaudio-utils
  )
fi

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
