#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
# Widget tests need a display with OpenGL; xvfb-run provides one with Mesa's software renderer.
xvfb-run -a -s "-screen 0 1920x1200x24" ctest --test-dir build --output-on-failure -j "$(nproc)"
