#!/usr/bin/env bash
# Configures and builds the project into build/ (Release with debug info). Arguments go to the
# configure step, e.g. -DBUILD_TESTING=OFF.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build -j "$(nproc)"
