#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: in the normal build and in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer, where any report fails the run.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh

# Widget tests need a display with OpenGL; xvfb-run provides one with Mesa's software renderer.
run_tests() {
  xvfb-run -a -s "-screen 0 1920x1200x24" ctest --test-dir "$1" --output-on-failure -j "$(nproc)"
}
run_tests build

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake --build build-sanitize -j "$(nproc)"
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_tests build-sanitize
