#!/usr/bin/env bash
# Installs the Debian packages a task needs, skipping what is already present.
#   install-deps.sh run    building and running the programs
#   install-deps.sh test   that, and the tests (a browser for the report page among them),
#                          benchmarks, fuzzing and packaging tools, and GStreamer's test
#                          source (videotestsrc) that stands in for a live camera
set -euo pipefail

run_packages=(
  cmake ninja-build g++
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-qpa-plugins libgl-dev libgl1-mesa-dri
  qt6-translations-l10n
  libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev libopencv-videoio-dev
  libcli11-dev nlohmann-json3-dev libssl-dev
  libtiff-dev libgdcm-dev
)
test_packages=(
  git
  libgtest-dev libbenchmark-dev
  xvfb xauth
  clang libclang-rt-dev clang-format
  desktop-file-utils appstream dpkg-dev
  chromium
  gstreamer1.0-plugins-base gstreamer1.0-tools
)

case "${1:-}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
