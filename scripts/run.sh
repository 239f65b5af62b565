#!/usr/bin/env bash
# Installs what is missing, builds the programs (no tests), and starts Quendra on the bundled
# sample with its colour classes, so that an analysed tooth is on screen at once.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
scripts/build.sh -DBUILD_TESTING=OFF
exec build/src/quendra --classes build/samples/classes.dat build/samples/molar-640x480.png "$@"
