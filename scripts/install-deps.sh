#!/usr/bin/env bash
# Installs the Debian packages a make target needs, and only those missing.
# Usage: scripts/install-deps.sh PROFILE...   (build, test, package, bench, fuzz, shots)
set -euo pipefail

# Qt Charts' CMake package needs Qt OpenGL's, which qt6-charts-dev does not
# pull in: hence libqt6opengl6-dev.
declare -A packages=(
  [build]="cmake ninja-build g++ make qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev libgl-dev libeigen3-dev liblapack-dev libopenblas-dev"
  [test]="googletest libgtest-dev libgmock-dev liblapack-dev locales-all fonts-dejavu-core desktop-file-utils appstream
          groff-base dpkg-dev file"
  [package]="dpkg-dev file"
  [bench]="libbenchmark-dev liblapack-dev libopenblas-dev libeigen3-dev python3 python3-numpy python3-scipy"
  [fuzz]="clang libclang-rt-14-dev liblapack-dev"
  [shots]="xvfb xauth"
)

wanted=()
for profile in "$@"; do
  [[ -n "${packages[$profile]:-}" ]] || { echo "install-deps: unknown profile $profile" >&2; exit 2; }
  for p in ${packages[$profile]}; do
    dpkg -s "$p" >/dev/null 2>&1 || wanted+=("$p")
  done
done
[[ ${#wanted[@]} -eq 0 ]] && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${wanted[*]}" >&2; exit 1; }
  sudo="sudo"
fi
echo "install-deps: installing ${wanted[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y --no-install-recommends "${wanted[@]}"
